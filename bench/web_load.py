#!/usr/bin/env python3
"""How long the page takes to show its first frame, and what it fetches before it.

    web_load.py PAGE_DIR [LOADS]

Loads the page in headless Chromium with a cold cache LOADS times (default 5)
for each case: served plain and with gzip, on the local link and on an
emulated slow one, and on the local link with the processor slowed four
times. Prints the medians as a table: bytes transferred before the first
frame (what the browser's resource timing counts, headers included), and the
time from navigation to the first frame (ovu.frames reaching 1).
"""
import gzip
import http.server
import os
import statistics
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests'))
from page_browser import Browser, wait_for  # noqa: E402

PAGE_DIR = sys.argv[1]
LOADS = int(sys.argv[2]) if len(sys.argv) > 2 else 5
# DevTools' emulated link: about a "Fast 3G" one.
SLOW = {'offline': False, 'latency': 150, 'downloadThroughput': 200000, 'uploadThroughput': 100000}
FAST = {'offline': False, 'latency': 0, 'downloadThroughput': -1, 'uploadThroughput': -1}
CASES = [('plain', False, FAST, 1), ('gzip', True, FAST, 1), ('plain, emulated link', False, SLOW, 1),
         ('gzip, emulated link', True, SLOW, 1), ('gzip, processor 4x slower', True, FAST, 4)]


class GzipHandler(http.server.SimpleHTTPRequestHandler):
    """Sends each file gzipped, as a server that compresses would."""
    cache = {}

    def do_GET(self):
        path = self.translate_path(self.path)
        if 'gzip' not in self.headers.get('Accept-Encoding', '') or not os.path.isfile(path):
            return super().do_GET()
        if path not in self.cache:
            with open(path, 'rb') as f:
                self.cache[path] = gzip.compress(f.read(), 9, mtime=0)
        body = self.cache[path]
        self.send_response(200)
        self.send_header('Content-Type', self.guess_type(path))
        self.send_header('Content-Encoding', 'gzip')
        self.send_header('Content-Length', str(len(body)))
        self.end_headers()
        self.wfile.write(body)


# The bytes fetched before the first frame, and the milliseconds from navigation to it.
def first_frame(browser, query):
    browser.open(query)
    wait_for(lambda: browser.js('return ovuLoad[1] !== undefined || ovu.state == "ended" || ovu.state == "stopped"'),
             600, 'the first frame')
    return browser.js('return ovuLoad[1]')


def load(browser, link, cpu):
    browser.cdp('Network.emulateNetworkConditions', link)
    browser.cdp('Emulation.setCPUThrottlingRate', {'rate': cpu})
    first = first_frame(browser, 'no-interactive')
    browser.driver.get('about:blank')
    return first


def main():
    print('| case | bytes before the first frame | time to the first frame |')
    print('| --- | ---: | ---: |')
    for label, gzipped, link, cpu in CASES:
        browser = Browser(PAGE_DIR, GzipHandler if gzipped else http.server.SimpleHTTPRequestHandler)
        try:
            loads = [load(browser, link, cpu) for _ in range(LOADS)]
        finally:
            browser.close()
        size = statistics.median(b for b, _ in loads)
        ms = statistics.median(t for _, t in loads)
        # The emulation took hold only if no load beat the emulated link's rate.
        if link is SLOW and min(t - b / SLOW['downloadThroughput'] * 1000 for b, t in loads) < SLOW['latency']:
            sys.exit(f'web_load: the emulated link did not hold back the loads: {loads}')
        print(f'| {label} | {size:,.0f} | {ms / 1000:.2f} s |')
    with open('/proc/loadavg') as f:
        print('\nload average at the end:', ' '.join(f.read().split()[:3]))


if __name__ == '__main__':
    main()
