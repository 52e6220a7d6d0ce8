#!/usr/bin/env python3
"""Measures the page beside the native program; run by bench/web.sh.

    web_bench.py PAGE_DIR NATIVE_OVU
"""
import os
import re
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests'))
from page_browser import Browser  # noqa: E402

PAGE_DIR, NATIVE = sys.argv[1], os.path.abspath(sys.argv[2])
FPS = re.compile(r'fps: (\d+) frames in ([\d.]+) s: ([\d.]+) fps')
ROUNDS = 3


def console(browser):
    return [entry['message'] for entry in browser.driver.get_log('browser')]


def page_fps(browser, query):
    browser.open(query + '&fps&size=640x480&unpaced')
    browser.wait_until_over()
    return float(next(m.group(3) for line in console(browser) for m in [FPS.search(line)] if m))


def native_fps(args):
    run = subprocess.run([NATIVE, '--windowed', '640x480', '--fps', *args], cwd=os.path.dirname(NATIVE),
                         capture_output=True, text=True, timeout=600)
    return float(FPS.search(run.stderr).group(3))


def main():
    browser = Browser(PAGE_DIR)
    try:
        print('| measurement | page (headless Chromium) | native (Xvfb) | page / native |')
        print('| --- | ---: | ---: | ---: |')
        # The first 100 frames fall within the title's ten seconds at either rate here.
        for label, query, args in [('640 x 480, with the title: fps', 'frames=100', ['--frames', '100']),
                                   ('640 x 480, after the title: fps', 'frames=300&no-intro',
                                    ['--frames', '300', '--no-intro'])]:
            page, native = [], []
            for _ in range(ROUNDS):
                page.append(page_fps(browser, query))
                native.append(native_fps(args))
            p, n = statistics.median(page), statistics.median(native)
            print(f'| {label} | {p:.1f} | {n:.1f} | {p / n:.2f} |')
        for page, pattern in [('web_floor.html', r'floor: (.*): ([\d.]+ fps)'),
                              ('web_core_bench.html', r'core: (.*): ([\d.]+ [µm]s)')]:
            browser.open('', page=page)
            lines = []
            while not any(line.endswith('done"') for line in lines):
                time.sleep(0.5)
                lines += console(browser)
            for line in lines:
                m = re.search(pattern, line)
                if m:
                    print(f'| {m.group(1)} | {m.group(2)} | | |')
    finally:
        browser.close()
    with open('/proc/loadavg') as f:
        print('\nload average at the end:', ' '.join(f.read().split()[:3]))


if __name__ == '__main__':
    main()
