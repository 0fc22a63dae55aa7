"""A till for the status page's tests, bench and pictures: the simulated
register on a pseudo-terminal, norvvelmd with its API on a loopback port, and a
headless Chromium driven through its WebDriver. Nothing here talks to any
address but 127.0.0.1."""

import contextlib
import http.client
import json
import os
import shutil
import socket
import subprocess
import tempfile
import time

CHROMIUM = shutil.which('chromium') or '/usr/bin/chromium'
CHROMEDRIVER = shutil.which('chromedriver') or '/usr/bin/chromedriver'


def free_port():
    with contextlib.closing(socket.socket(socket.AF_INET, socket.SOCK_STREAM)) as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def wait_until(what, check, timeout=10.0, step=0.02):
    """Polls a condition of another process (a file, a port) up to a bound;
    raises with `what` when it never holds."""
    end = time.monotonic() + timeout
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > end:
            raise TimeoutError(f'not within {timeout} s: {what}')
        time.sleep(step)


class Till:
    """ecrsim and norvvelmd in a home folder of their own."""

    def __init__(self, bin_dir, serial='99IEC000777', home=None, mask='*.txt'):
        self.bin = bin_dir
        self.serial = serial
        self.mask = mask
        self._own_home = home is None
        self.home = home or tempfile.mkdtemp(prefix='norvvelm-page-')
        self.server_dir = os.path.join(self.home, 'server')
        self.paper = os.path.join(self.home, 'paper.txt')
        self.port = free_port()
        self.sim = None
        self.daemon = None
        self.daemon_log = None

    @property
    def url(self):
        return f'http://127.0.0.1:{self.port}/'

    def start(self):
        os.makedirs(self.server_dir, exist_ok=True)
        with open(os.path.join(self.home, 'NorvVelm.ini'), 'w', newline='') as f:
            f.write('[Parametri]\r\nModello=Norv ONe\r\nPorta=1\r\nVelocita=9600\r\n'
                    'ServerStato=On\r\nServerModalita=Normal\r\n'
                    f'ServerDir={self.server_dir}\r\nServerFile={self.mask}\r\nServerLog=On\r\n'
                    'WrapDescription=On\r\nAlIvaAuto=Off\r\n'
                    f'ApiStato=On\r\nApiIndirizzo=127.0.0.1\r\nApiPorta={self.port}\r\n'
                    f'\r\n[Porte]\r\nCom1={self.home}/ecr\r\n')
        with open(os.path.join(self.home, 'FileExt.ini'), 'w', newline='') as f:
            f.write('[velm]\r\n[log]\r\n[FMN]\r\n[json]\r\n')
        open(self.paper, 'w').close()
        pty = os.path.join(self.home, 'ecr')
        self.sim = subprocess.Popen(
            [os.path.join(self.bin, 'ecrsim'), '--pty', pty, '--serial', self.serial, '--paper', self.paper],
            stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until('the register\'s terminal', lambda: os.path.exists(pty))
        env = dict(os.environ, NORVVELM_HOME=self.home,
                   XDG_RUNTIME_DIR=os.path.join(self.home, 'run'), QT_QPA_PLATFORM='offscreen')
        os.makedirs(env['XDG_RUNTIME_DIR'], mode=0o700, exist_ok=True)
        self.daemon_log = open(os.path.join(self.home, 'norvvelmd.out'), 'w')
        self.daemon = subprocess.Popen([os.path.join(self.bin, 'norvvelmd')], env=env, stdout=self.daemon_log,
                                       stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        wait_until('the API answers', self._answers)
        wait_until('the register identified', lambda: self.status()['register'].get('serial'))
        return self

    def _answers(self):
        if self.daemon.poll() is not None:
            raise RuntimeError(f'norvvelmd ended with {self.daemon.returncode}: {self.daemon_output()}')
        try:
            self.get('/api/v1/status')
            return True
        except OSError:
            return False

    def daemon_output(self):
        with open(os.path.join(self.home, 'norvvelmd.out')) as f:
            return f.read()

    def get(self, path):
        conn = http.client.HTTPConnection('127.0.0.1', self.port, timeout=5)
        try:
            conn.request('GET', path, headers={'Host': f'127.0.0.1:{self.port}'})
            answer = conn.getresponse()
            body = answer.read()
            return answer.status, dict(answer.getheaders()), body
        finally:
            conn.close()

    def json(self, path):
        status, _, body = self.get(path)
        if status != 200:
            raise RuntimeError(f'{path}: {status} {body[:200]!r}')
        return json.loads(body)

    def status(self):
        return self.json('/api/v1/status')

    def receipts(self):
        answer = self.json('/api/v1/receipts?limit=100')
        return answer if isinstance(answer, list) else answer.get('receipts', [])

    def drop(self, name, lines):
        """A receipt file, written beside the folder's mask and renamed into it."""
        tmp = os.path.join(self.server_dir, '.incoming.tmp')
        with open(tmp, 'w', newline='') as f:
            f.write(''.join(line + '\r\n' for line in lines))
        os.rename(tmp, os.path.join(self.server_dir, name))

    def wait_sent(self, name, timeout=30):
        """Until the print server has taken the file and the queue is empty."""
        def done():
            if os.path.exists(os.path.join(self.server_dir, name)):
                return False
            server = self.status()['server']
            return server.get('queue_lines', 0) == 0 and not server.get('printing')
        wait_until(f'{name} sent', done, timeout)

    def control(self, line):
        """One line to the simulated register's control input (faults, paper)."""
        self.sim.stdin.write((line + '\n').encode())
        self.sim.stdin.flush()

    def stop(self):
        for p in (self.daemon, self.sim):
            if p and p.poll() is None:
                p.terminate()
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        if self.daemon_log:
            self.daemon_log.close()
        if self._own_home:
            shutil.rmtree(self.home, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


def browser(width=1280, height=900):
    """Headless Chromium that resolves no name and fetches nothing on its own:
    only the addresses the test gives it (127.0.0.1) are reached. Its profile
    is a fresh folder, removed when the driver quits."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    profile = tempfile.mkdtemp(prefix='norvvelm-chromium-')

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for arg in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
                f'--window-size={width},{height}', '--no-first-run', '--no-default-browser-check',
                '--disable-background-networking', '--disable-component-update', '--disable-sync',
                '--disable-default-apps', '--disable-extensions', '--metrics-recording-only', '--no-pings',
                '--disable-client-side-phishing-detection', '--disable-domain-reliability',
                '--disable-features=Translate,OptimizationHints,MediaRouter,DialMediaRouteProvider',
                '--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1', '--lang=it-IT',
                f'--user-data-dir={profile}'):
        options.add_argument(arg)
    options.set_capability('goog:loggingPrefs', {'browser': 'ALL'})
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    quit_driver = driver.quit

    def quit_and_clean():
        try:
            quit_driver()
        finally:
            shutil.rmtree(profile, ignore_errors=True)
    driver.quit = quit_and_clean
    return driver
