#!/usr/bin/env python3
# A small WebDriver client (JSON over HTTP), only the commands the page's tests
# and bench/web_bench.py use: one headless Chromium with a fresh profile, and
# the page served from its build directory beside it.
import base64, functools, http.server, io, json, socket, subprocess, tempfile, threading, time, urllib.request

from PIL import Image

ALT, F4, F10 = '\ue00a', '\ue034', '\ue03a'
FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--enable-unsafe-swiftshader', '--disable-background-networking',
         '--disable-component-update', '--disable-sync', '--no-first-run', '--disable-quic', '--window-size=1280,1024']
http.server.SimpleHTTPRequestHandler.log_message = lambda *args: None


def wait_for(condition, timeout, what):
    end = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > end:
            raise AssertionError('timed out waiting for ' + what)
        time.sleep(0.1)


class Browser:
    def __init__(self, page_dir):
        self.server = http.server.ThreadingHTTPServer(
            ('127.0.0.1', 0), functools.partial(http.server.SimpleHTTPRequestHandler, directory=page_dir))
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.profile = tempfile.TemporaryDirectory()
        with socket.socket() as s:
            s.bind(('127.0.0.1', 0))
            port = s.getsockname()[1]
        self.driver = subprocess.Popen(['chromedriver', f'--port={port}'], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.url = f'http://127.0.0.1:{port}'
        wait_for(lambda: socket.socket().connect_ex(('127.0.0.1', port)) == 0, 30, 'chromedriver')
        options = {'binary': '/usr/bin/chromium', 'args': FLAGS + [f'--user-data-dir={self.profile.name}']}
        capabilities = {'browserName': 'chrome', 'goog:chromeOptions': options, 'goog:loggingPrefs': {'browser': 'ALL'}}
        self.url += '/session/' + self.command('POST', '/session', {'capabilities': {'alwaysMatch': capabilities}})['sessionId']

    def command(self, method, path='', body=None):
        data = json.dumps(body).encode() if body is not None else None
        request = urllib.request.Request(self.url + path, data, {'Content-Type': 'application/json'}, method=method)
        with urllib.request.urlopen(request, timeout=120) as response:
            return json.load(response)['value']

    def js(self, script):
        return self.command('POST', '/execute/sync', {'script': script, 'args': []})

    def open(self, query, page='ovu.html'):
        self.command('POST', '/url', {'url': f'http://127.0.0.1:{self.server.server_port}/{page}?{query}'})
        if page == 'ovu.html':
            wait_for(lambda: self.js('return ovu.state') != 'loading', 60, 'the page to start')

    def wait_until_over(self, timeout=600):
        wait_for(lambda: self.js('return ovu.state') in ('ended', 'stopped'), timeout, 'the run to end')

    def keys(self, *values):
        actions = [{'type': 'keyDown', 'value': v} for v in values] + [{'type': 'keyUp', 'value': v} for v in values[::-1]]
        self.command('POST', '/actions', {'actions': [{'type': 'key', 'id': 'keyboard', 'actions': actions}]})

    def console(self):
        return [entry['message'] for entry in self.command('POST', '/se/log', {'type': 'browser'})]

    def canvas(self):
        self.js("document.getElementById('note').style.display = 'none'")
        element = self.command('POST', '/element', {'using': 'css selector', 'value': '#canvas'})
        png = self.command('GET', f'/element/{next(iter(element.values()))}/screenshot')
        return Image.open(io.BytesIO(base64.b64decode(png))).convert('RGB')

    def close(self):
        self.command('DELETE')
        self.driver.terminate()
        self.driver.wait()
        self.server.shutdown()
        self.profile.cleanup()
