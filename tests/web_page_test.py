#!/usr/bin/env python3
"""The page in headless Chromium, driven through WebDriver, against the
native program of the same tree.

    web_page_test.py PAGE_DIR NATIVE_OVU [unittest arguments]
"""
import base64
import functools
import os
import subprocess
import sys
import tempfile
import unittest

from PIL import Image, ImageChops, ImageStat

from webdriver import ALT, Browser, wait_for

PAGE_DIR, NATIVE = sys.argv[1], sys.argv[2]


def native(*args):
    """Runs the native program beside its bitmaps; returns (exit code, stderr)."""
    run = subprocess.run([NATIVE, *args], cwd=os.path.dirname(NATIVE), capture_output=True, text=True, timeout=600)
    return run.returncode, run.stderr


class WebPage(unittest.TestCase):
    def setUp(self):
        self.browser = Browser(PAGE_DIR)
        self.temp = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.browser.close()
        self.temp.cleanup()

    def test_water(self):
        self.browser.open('frames=300&fixed-step=16&size=64x48')
        self.browser.wait_until_over()
        self.assertEqual(self.browser.js('return [ovu.state, document.title]'), ['ended', 'ovu: done'])
        dump = os.path.join(self.temp.name, 'water.bin')
        self.assertEqual(native('--frames', '300', '--fixed-step', '16', '--windowed', '64x48', '--dump-water', dump)[0], 0)
        with open(dump, 'rb') as f:
            self.assertEqual(base64.b64decode(self.browser.js('return ovu.water')), f.read())

    def test_pictures(self):
        # The title at full strength, then long gone; the native shots are taken meanwhile.
        shots = {frames: os.path.join(self.temp.name, f'{frames}.png') for frames in (190, 750)}
        runs = [subprocess.Popen([NATIVE, '--frames', str(frames), '--fixed-step', '16', '--windowed', '640x480',
                                  '--screenshot', shot], cwd=os.path.dirname(NATIVE)) for frames, shot in shots.items()]
        for frames, shot in shots.items():
            with self.subTest(frames=frames):
                self.browser.open(f'frames={frames}&fixed-step=16&size=640x480')
                self.browser.wait_until_over()
                page = self.browser.canvas()
                self.assertEqual([run.wait(600) for run in runs], [0, 0])
                difference = ImageChops.difference(page, Image.open(shot).convert('RGB'))
                mean = sum(ImageStat.Stat(difference).mean) / 3
                over = functools.reduce(ImageChops.lighter, [b.point(lambda v: 255 if v > 8 else 0) for b in difference.split()])
                share = over.histogram()[255] / (page.width * page.height)
                self.assertEqual(page.size, (640, 480))
                self.assertLessEqual(mean, 1.0)
                self.assertLessEqual(share, 0.005)

    def test_keys(self):
        # Without a size the canvas fills the page, and follows it.
        self.browser.open('')
        self.browser.command('POST', '/window/rect', {'width': 400, 'height': 300})
        fills = "var c = Module.canvas; return innerWidth < 500 && c.width == Math.round(innerWidth * devicePixelRatio)" \
                " && c.height == Math.round(innerHeight * devicePixelRatio)"
        wait_for(lambda: self.browser.js(fills), 60, 'the canvas to follow the page')
        frames = lambda: self.browser.js('return ovu.frames')
        wait_for(lambda: frames() > 3, 60, 'frames')
        self.browser.keys(ALT, 'a')
        seen = frames()
        wait_for(lambda: frames() > seen + 10, 60, 'frames after Alt+a')
        self.assertEqual(self.browser.js('return ovu.state'), 'running')
        self.browser.keys('a')
        self.browser.wait_until_over(60)
        self.assertEqual(self.browser.js('return ovu.state'), 'ended')
        self.assertIn('Start again', self.browser.js("return document.getElementById('note').textContent"))

    def test_refusals(self):
        rows = [('frames=abc', ['--frames=abc']), ('size=12', ['--windowed=12']), ('no-intro=1', ['--no-intro=1']),
                ('fixed-step=0', ['--fixed-step=0']), ('bogus=1', None)]
        for query, args in rows:
            with self.subTest(query=query):
                self.browser.open(query)
                self.browser.wait_until_over(60)
                note = self.browser.js("return document.getElementById('note').textContent")
                reason = "unknown parameter 'bogus'" if args is None else native(*args)[1].splitlines()[0][len('ovu: '):]
                self.assertEqual(self.browser.js('return ovu.state'), 'stopped')
                self.assertIn(reason, note)


if __name__ == '__main__':
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:])
