#!/usr/bin/env python3
"""A small WebDriver client (JSON over HTTP) for the page in headless
Chromium, served from its build directory beside the browser."""
import base64
import functools
import http.server
import io
import json
import socket
import subprocess
import tempfile
import threading
import time
import urllib.request

from PIL import Image

CHROMIUM_FLAGS = ['--headless', '--no-sandbox', '--disable-gpu', '--enable-unsafe-swiftshader',
                  '--disable-background-networking', '--disable-component-update', '--disable-sync',
                  '--no-first-run', '--disable-quic', '--window-size=1280,1024']
ALT = '\ue00a'


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def wait_for(condition, timeout, what):
    end = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > end:
            raise AssertionError('timed out waiting for ' + what)
        time.sleep(0.1)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


class Browser:
    """One Chromium with a fresh profile, and the page served beside it."""

    def __init__(self, page_dir, console=False):
        handler = functools.partial(QuietHandler, directory=page_dir)
        self.server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.profile = tempfile.TemporaryDirectory()
        port = free_port()
        self.driver = subprocess.Popen(['chromedriver', f'--port={port}'], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        self.base = f'http://127.0.0.1:{port}'
        wait_for(self.ready, 30, 'chromedriver')
        options = {'binary': '/usr/bin/chromium', 'args': CHROMIUM_FLAGS + [f'--user-data-dir={self.profile.name}']}
        capabilities = {'browserName': 'chrome', 'goog:chromeOptions': options}
        if console:
            capabilities['goog:loggingPrefs'] = {'browser': 'ALL'}
        self.session = self.call('POST', '/session', {'capabilities': {'alwaysMatch': capabilities}})['sessionId']

    def ready(self):
        try:
            return self.call('GET', '/status')['ready']
        except OSError:
            return False

    def call(self, method, path, body=None):
        data = json.dumps(body).encode() if body is not None else None
        request = urllib.request.Request(self.base + path, data, {'Content-Type': 'application/json'}, method=method)
        with urllib.request.urlopen(request, timeout=120) as response:
            return json.load(response)['value']

    def command(self, method, path, body=None):
        return self.call(method, f'/session/{self.session}{path}', body)

    def js(self, script):
        return self.command('POST', '/execute/sync', {'script': script, 'args': []})

    def open(self, query, page='ovu.html'):
        self.command('POST', '/url', {'url': f'http://127.0.0.1:{self.server.server_port}/{page}?{query}'})
        if page == 'ovu.html':
            wait_for(lambda: self.js('return ovu.state') != 'loading', 60, 'the page to start')

    def wait_until_over(self, timeout=600):
        wait_for(lambda: self.js('return ovu.state') in ('ended', 'stopped'), timeout, 'the run to end')

    def keys(self, *values):
        actions = [{'type': 'keyDown', 'value': v} for v in values]
        actions += [{'type': 'keyUp', 'value': v} for v in reversed(values)]
        self.command('POST', '/actions', {'actions': [{'type': 'key', 'id': 'keyboard', 'actions': actions}]})

    def console(self):
        return [entry['message'] for entry in self.command('POST', '/se/log', {'type': 'browser'})]

    def canvas(self):
        self.js("document.getElementById('note').style.display = 'none'")
        element = self.command('POST', '/element', {'using': 'css selector', 'value': '#canvas'})
        png = self.command('GET', f'/element/{next(iter(element.values()))}/screenshot')
        return Image.open(io.BytesIO(base64.b64decode(png))).convert('RGB')

    def close(self):
        try:
            self.command('DELETE', '')
        finally:
            self.driver.terminate()
            self.driver.wait()
            self.server.shutdown()
            self.profile.cleanup()
