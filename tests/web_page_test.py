#!/usr/bin/env python3
# The page in headless Chromium against the native program of the same tree.
#     web_page_test.py PAGE_DIR NATIVE_OVU [unittest arguments]
import base64
import os
import subprocess
import sys
import tempfile
import unittest

from PIL import Image, ImageChops, ImageStat

from webdriver import ALT, F4, F10, Browser, wait_for

PAGE_DIR, NATIVE = sys.argv[1], sys.argv[2]


class WebPage(unittest.TestCase):
    def setUp(self):
        self.browser = Browser(PAGE_DIR)
        self.addCleanup(self.browser.close)

    def note(self):
        return self.browser.js("return [ovu.state, document.getElementById('note').textContent]")

    def test_frames(self):
        # The title at full strength, then long gone: the water byte for byte, the
        # picture within a level on average and 8 levels but for 0.5 % of pixels.
        temp = self.enterContext(tempfile.TemporaryDirectory())
        for frames in (190, 750):
            with self.subTest(frames=frames):
                shot, dump = (os.path.join(temp, f'{frames}.{kind}') for kind in ('png', 'bin'))
                run = subprocess.Popen([NATIVE, '--frames', str(frames), '--fixed-step', '16', '--windowed', '640x480',
                                        '--screenshot', shot, '--dump-water', dump], cwd=os.path.dirname(NATIVE))
                self.browser.open(f'frames={frames}&fixed-step=16&size=640x480')
                self.browser.wait_until_over()
                self.assertEqual(self.browser.js('return [ovu.state, document.title]'), ['ended', 'ovu: done'])
                page = self.browser.canvas()
                self.assertEqual(run.wait(600), 0)
                with open(dump, 'rb') as f:
                    self.assertEqual(base64.b64decode(self.browser.js('return ovu.water')), f.read())
                difference = ImageChops.difference(page, Image.open(shot).convert('RGB'))
                self.assertEqual(page.size, (640, 480))
                self.assertLessEqual(sum(ImageStat.Stat(difference).mean) / 3, 1.0)
                self.assertLessEqual(sum(max(pixel) > 8 for pixel in difference.getdata()) / (640 * 480), 0.005)

    def test_keys(self):
        # Without a size the canvas fills the page, and follows it. System keys go on; others end the run.
        self.browser.open('')
        self.browser.command('POST', '/window/rect', {'width': 400, 'height': 300})
        fills = "var c = Module.canvas; return innerWidth < 500 && c.width == Math.round(innerWidth * devicePixelRatio)" \
                " && c.height == Math.round(innerHeight * devicePixelRatio)"
        wait_for(lambda: self.browser.js(fills), 60, 'the canvas to follow the page')
        frames = lambda: self.browser.js('return ovu.frames')
        for keys in [(ALT, 'a'), (F10,)]:
            seen = frames()
            self.browser.keys(*keys)
            wait_for(lambda: frames() > seen + 10, 60, f'frames after {keys}')
            self.assertEqual(self.browser.js('return ovu.state'), 'running')
        for keys in [('a',), (ALT, F4)]:
            self.browser.open('')
            wait_for(lambda: frames() > 3, 60, 'frames')
            self.browser.keys(*keys)
            self.browser.wait_until_over(60)
            self.assertEqual(self.note()[0], 'ended')
            self.assertIn('Start again', self.note()[1])

    def test_refusals(self):
        for query, args in [('frames=abc', ['--frames=abc']), ('size=12', ['--windowed=12']), ('no-intro=1', ['--no-intro=1']),
                            ('fixed-step=0', ['--fixed-step=0']), ('bogus=1', None)]:
            with self.subTest(query=query):
                self.browser.open(query)
                self.browser.wait_until_over(60)
                reason = "unknown parameter 'bogus'" if args is None else subprocess.run([NATIVE, *args], capture_output=True, text=True).stderr.splitlines()[0][len('ovu: '):]
                self.assertEqual(self.note()[0], 'stopped')
                self.assertIn(reason, self.note()[1])


if __name__ == '__main__':
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:])
