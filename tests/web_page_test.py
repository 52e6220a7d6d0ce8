#!/usr/bin/env python3
# The page in headless Chromium against the native program of the same tree.
#     web_page_test.py PAGE_DIR NATIVE_OVU [unittest arguments]
import base64
import os
import pathlib
import subprocess
import sys
import tempfile
import unittest
import urllib.request

from PIL import Image, ImageChops, ImageStat

from page_browser import ALT, ENTER, F4, F10, SPACE, TAB, ActionChains, Browser, wait_for

PAGE_DIR, NATIVE = sys.argv[1], sys.argv[2]
BUDGET = 450000  # bytes a first visit fetches by the 60th frame, headers included
# The frames drawn over 60 of the page's animation frames, counted in the page, and how far its clock moved.
RATE = """var done = arguments[0], start = ovu.frames, clock = ovu.clock(), n = 0;
function tick() { if (++n > 60) done([ovu.frames - start, ovu.clock() - clock]); else requestAnimationFrame(tick); }
requestAnimationFrame(tick);"""
LOSE = """var gl = Module.canvas.getContext('webgl');
window.loser = gl.getExtension('WEBGL_lose_context');
Module.canvas.addEventListener('webglcontextlost', function () { window.lost = true; });
loser.loseContext();"""


class WebPage(unittest.TestCase):
    def setUp(self):
        self.browser = Browser(PAGE_DIR)
        self.addCleanup(self.browser.close)

    def note(self):
        return self.browser.js("return [ovu.state, document.getElementById('note').textContent]")

    def frames(self):
        return self.browser.js('return ovu.frames')

    def set_pixel_ratio(self, ratio):
        self.browser.driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                                            {'width': 0, 'height': 0, 'deviceScaleFactor': ratio, 'mobile': False})

    def test_frames(self):
        # The title at full strength, then long gone: the water byte for byte, the
        # picture within a level on average and 8 levels but for 0.5 % of pixels.
        # A context lost and given back early in the run changes none of that.
        temp = self.enterContext(tempfile.TemporaryDirectory())
        for frames, lose in [(190, False), (750, False), (190, True)]:
            with self.subTest(frames=frames, lose=lose):
                shot, dump = (os.path.join(temp, f'{frames}.{kind}') for kind in ('png', 'bin'))
                run = subprocess.Popen([NATIVE, '--frames', str(frames), '--fixed-step', '16', '--windowed', '640x480',
                                        '--screenshot', shot, '--dump-water', dump], cwd=os.path.dirname(NATIVE))
                self.browser.open(f'frames={frames}&fixed-step=16&size=640x480&unpaced')
                if lose:
                    wait_for(lambda: self.frames() > 20, 60, 'frames')
                    self.browser.js(LOSE)
                    wait_for(lambda: self.browser.js('return window.lost === true'), 60, 'the context to be lost')
                    self.browser.js('loser.restoreContext()')
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
                self.assertLessEqual(max(self.browser.js('return [ovuLoad[1][0], ovuLoad[60][0]]')), BUDGET)
        # The bitmaps the page drew for itself are the native build's.
        for name in ('CHRMWARP.bmp', 'vo.bmp', 'vomask.bmp'):
            self.assertEqual(bytes(self.browser.js(f"return Array.from(Module.FS_readFile('/ovu/{name}'))")),
                             pathlib.Path(os.path.dirname(NATIVE), name).read_bytes(), name)

    def test_keys(self):
        # Without a size the canvas fills the page, and follows it. System keys go on; others end the run.
        # The page names its icon, a PNG.
        self.browser.open('')
        with urllib.request.urlopen(self.browser.js("return document.querySelector('link[rel=icon]').href")) as icon:
            self.assertEqual(Image.open(icon).size, (48, 48))
        self.browser.driver.set_window_rect(width=400, height=300)
        fills = "var c = Module.canvas; return innerWidth < 500 && c.width == Math.round(innerWidth * devicePixelRatio)" \
                " && c.height == Math.round(innerHeight * devicePixelRatio) && devicePixelRatio == %s"
        wait_for(lambda: self.browser.js(fills % 1), 60, 'the canvas to follow the page')
        self.set_pixel_ratio(2)
        wait_for(lambda: self.browser.js(fills % 2), 60, 'the canvas to follow the pixel ratio')
        frames = self.frames
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

    def test_display(self):
        # Paced by the display: at most one frame per animation frame, none while
        # hidden though the page's timers run, and frames again when shown.
        browser = self.browser
        frames = self.frames
        # At most max-fps frames a second, though the animation frames come faster.
        browser.open('size=64x48&no-intro&max-fps=10')
        wait_for(lambda: frames() > 1, 60, 'frames')
        drawn, ms = browser.driver.execute_async_script(RATE)
        self.assertLessEqual(drawn, ms / 100 + 1)
        # Unpaced, `vsync` or not, it draws on while hidden.
        browser.open('size=64x48&no-intro&vsync&unpaced')
        browser.driver.minimize_window()
        seen = frames()
        wait_for(lambda: frames() > seen + 3, 60, 'frames while hidden and unpaced')
        browser.driver.set_window_rect(width=1280, height=1024)
        browser.open('size=64x48&no-intro')
        wait_for(lambda: frames() > 3, 60, 'frames')
        self.assertLessEqual(browser.driver.execute_async_script(RATE)[0], 61)
        browser.driver.minimize_window()
        self.assertEqual(browser.js('return document.visibilityState'), 'hidden')
        seen = frames()
        browser.driver.execute_async_script('var done = arguments[0], n = 0; (function turn() { if (++n > 3) done();'
                                            ' else setTimeout(turn, 100); })();')
        self.assertEqual(frames(), seen)
        browser.driver.set_window_rect(width=1280, height=1024)
        wait_for(lambda: frames() > seen, 60, 'frames once shown')
        # A canvas of a given size keeps it in device pixels as the ratio changes.
        self.set_pixel_ratio(2)
        wait_for(lambda: browser.js("var c = Module.canvas; return c.width == 64 && c.style.width == '32px'"), 60,
                 'the canvas to follow the pixel ratio')
        # Paused with Tab and Enter, resumed with Space, none of which ends the run: animation frames go by
        # without frames or time meanwhile. Reduced motion starts paused.
        browser.keys(TAB)
        browser.keys(ENTER)
        wait_for(lambda: browser.js('return ovu.paused'), 60, 'the pause')
        self.assertEqual(browser.driver.execute_async_script(RATE), [0, 0])
        self.assertEqual(browser.js("var b = document.getElementById('pause'); return [b.textContent, b.getAttribute("
                                    "'aria-pressed'), b.offsetWidth > 0, ovu.state]"), ['Resume', 'true', True, 'running'])
        browser.keys(SPACE)
        seen = frames()
        wait_for(lambda: frames() > seen + 3, 60, 'frames after the resume')
        # A context the browser does not give back: the page says so.
        browser.js(LOSE)
        wait_for(lambda: 'WebGL context' in self.note()[1], 60, 'the notice of the lost context')
        self.assertIn('Start again', self.note()[1])
        browser.driver.execute_cdp_cmd('Emulation.setEmulatedMedia', {'features': [{'name': 'prefers-reduced-motion', 'value': 'reduce'}]})
        browser.open('size=64x48&no-intro')
        wait_for(lambda: browser.js('return ovu.paused'), 60, 'the pause')
        self.assertEqual(browser.driver.execute_async_script(RATE)[0] + frames(), 1)

    def test_input(self):
        # A mouse drag drops into the water, and so does each finger of a touch, apart from the others: each of
        # these runs ends with a field of its own. no-interactive drops nothing. A frame a second, so that the
        # fingers land in frame 3 of every run. Touch first: once a page without touch handlers had a touch,
        # headless Chromium sends later pages none. The canvas takes no gestures of the browser.
        browser, fields = self.browser, {}
        for how, fingers in [('both', [(100, 150), (220, 160)]), ('left', [(100, 150)]), ('right', [(220, 160)]),
                             ('mouse', []), ('none', [])]:
            browser.open('frames=5&fixed-step=16&size=320x240&no-intro&max-fps=1' + ('&no-interactive' if how == 'none' else ''))
            self.assertEqual(browser.js('return getComputedStyle(Module.canvas).touchAction'), 'none')
            wait_for(lambda: self.frames() >= 2, 60, 'frames')
            if how == 'mouse':
                ActionChains(browser.driver).move_to_element(browser.driver.find_element('css selector', '#canvas')).click_and_hold(
                    ).move_by_offset(40, 20).release().perform()
            for kind, points in [('touchStart', fingers), ('touchEnd', [])] if fingers else []:
                browser.driver.execute_cdp_cmd('Input.dispatchTouchEvent', {'type': kind, 'touchPoints': [
                    {'x': x, 'y': y, 'id': n} for n, (x, y) in enumerate(points)]})
            browser.wait_until_over()
            fields[how] = browser.js('return ovu.water')
        self.assertEqual(len(set(fields.values())), len(fields))

    def test_replay(self):
        # A journal the native program wrote, played by the page: the native field. A bad one is refused whole.
        temp = self.enterContext(tempfile.TemporaryDirectory())
        journal, dump, hand = os.path.join(PAGE_DIR, 'replay-test.txt'), os.path.join(temp, 'water.bin'), os.path.join(temp, 'j')
        self.addCleanup(lambda: os.path.exists(journal) and os.remove(journal))
        pathlib.Path(hand).write_text('ovu input journal 1\n3 50 50\n3 8 93\n40 60 20\n')
        subprocess.run([NATIVE, '--frames', '60', '--fixed-step', '16', '--windowed', '64x48', '--replay', hand, '--record-input',
                        journal, '--dump-water', dump], cwd=os.path.dirname(NATIVE), check=True,
                       env={k: v for k, v in os.environ.items() if k != 'DISPLAY'})
        self.browser.open('frames=60&fixed-step=16&size=64x48&no-intro&unpaced&replay=replay-test.txt')
        self.browser.wait_until_over()
        self.assertEqual(base64.b64decode(self.browser.js('return ovu.water')), pathlib.Path(dump).read_bytes())
        pathlib.Path(journal).write_text(pathlib.Path(journal).read_text() + '2 50 50\n')
        self.browser.open('replay=replay-test.txt')
        self.browser.wait_until_over(60)
        self.assertEqual(self.note(), ['stopped', "ovu stopped: replay: '/replay-test.txt' line 5: frame 2 comes after frame 40. Start again"])

    def test_refusals(self):
        for query, args in [('frames=abc', ['--frames=abc']), ('size=12', ['--windowed=12']), ('no-intro=1', ['--no-intro=1']),
                            ('fixed-step=0', ['--fixed-step=0']), ('bogus=1', None), ('unpaced=1', 'unpaced: takes no value'),
                            ('no-interactive=1', 'no-interactive: takes no value'),
                            ('replay=http://example.com/j.txt', "is not of this page's origin"), ('replay=none.txt', 'HTTP 404')]:
            with self.subTest(query=query):
                self.browser.open(query)
                self.browser.wait_until_over(60)
                reason = "unknown parameter 'bogus'" if args is None else args if isinstance(args, str) else subprocess.run([NATIVE, *args], capture_output=True, text=True).stderr.splitlines()[0][len('ovu: '):]
                self.assertEqual(self.note()[0], 'stopped')
                self.assertIn(reason, self.note()[1])


if __name__ == '__main__':
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:])
