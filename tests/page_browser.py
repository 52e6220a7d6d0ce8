#!/usr/bin/env python3
# Headless Chromium through Debian's selenium and the system chromedriver,
# with a fresh profile, and the page served from its build directory beside
# it: what the page's tests and benchmarks (bench/web_*.py) share.
import base64, functools, http.server, io, tempfile, threading, time

from PIL import Image
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

ALT, ENTER, F4, F10, SPACE, TAB = Keys.ALT, Keys.ENTER, Keys.F4, Keys.F10, Keys.SPACE, Keys.TAB
FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--enable-unsafe-swiftshader', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--no-first-run', '--disable-quic', '--window-size=1280,1024']
http.server.SimpleHTTPRequestHandler.log_message = lambda *args: None
# Notes the bytes the page has fetched when its first and 60th frames are
# drawn, and the time since navigation of the first, in window.ovuLoad.
WATCH = """(function () {
  var page, load = window.ovuLoad = {};
  function fetched() {
    return performance.getEntriesByType('navigation').concat(performance.getEntriesByType('resource'))
      .reduce(function (sum, entry) { return sum + entry.transferSize; }, 0);
  }
  Object.defineProperty(window, 'ovu', { configurable: true, get: function () { return page; }, set: function (value) {
    var frames = value.frames;
    page = value;
    Object.defineProperty(page, 'frames', { get: function () { return frames; }, set: function (n) {
      frames = n;
      if (n === 1 || n === 60) load[n] = [fetched(), performance.now()];
    } });
  } });
})();"""


def wait_for(condition, timeout, what):
    end = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > end:
            raise AssertionError('timed out waiting for ' + what)
        time.sleep(0.1)


class Browser:
    def __init__(self, page_dir, handler=http.server.SimpleHTTPRequestHandler):
        self.server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), functools.partial(handler, directory=page_dir))
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.profile = tempfile.TemporaryDirectory()
        options = webdriver.ChromeOptions()
        options.binary_location = '/usr/bin/chromium'
        for flag in FLAGS + [f'--user-data-dir={self.profile.name}']:
            options.add_argument(flag)
        options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
        self.driver = webdriver.Chrome(service=Service('/usr/bin/chromedriver'), options=options)
        self.cdp('Page.addScriptToEvaluateOnNewDocument', {'source': WATCH})
        # Every load cold, so that the bytes counted are what a first visit fetches.
        self.cdp('Network.enable', {})
        self.cdp('Network.setCacheDisabled', {'cacheDisabled': True})

    def cdp(self, command, parameters):
        return self.driver.execute_cdp_cmd(command, parameters)

    def js(self, script):
        return self.driver.execute_script(script)

    def open(self, query, page='ovu.html'):
        self.driver.get(f'http://127.0.0.1:{self.server.server_port}/{page}?{query}')
        if page == 'ovu.html':
            wait_for(lambda: self.js('return ovu.state') != 'loading', 60, 'the page to start')

    def wait_until_over(self, timeout=600):
        wait_for(lambda: self.js('return ovu.state') in ('ended', 'stopped'), timeout, 'the run to end')

    def keys(self, *values):
        actions = ActionChains(self.driver)
        for v in values:
            actions.key_down(v)
        for v in values[::-1]:
            actions.key_up(v)
        actions.perform()

    def canvas(self):
        self.js("document.getElementById('note').style.display = 'none'")
        png = self.driver.find_element('css selector', '#canvas').screenshot_as_base64
        return Image.open(io.BytesIO(base64.b64decode(png))).convert('RGB')

    def close(self):
        self.driver.quit()
        self.server.shutdown()
        self.profile.cleanup()
