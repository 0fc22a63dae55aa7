#!/usr/bin/python3
"""Page-logic test: the status page's own files in headless Chromium against a
loopback server of this test that answers with the JSON shapes the station's
API documents (status, receipts, monitor). It checks what the page makes of
them; the station's own answers are not part of it.

Environment: NORVVELM_PAGE, the folder of the page's files (src/api/page)."""

import datetime
import http.server
import json
import os
import sys
import threading
import unittest
from urllib.parse import parse_qs, urlsplit

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'support'))

from page_rig import browser  # noqa: E402
from selenium.common.exceptions import NoAlertPresentException  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

PAGE = os.environ.get('NORVVELM_PAGE',
                      os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', '..', 'src', 'api', 'page'))
ROUND_S = 3
HOSTILE = '<img src=x onerror=alert(1)>&amp;.txt'
TYPES = {'.html': 'text/html; charset=utf-8', '.css': 'text/css; charset=utf-8',
         '.js': 'text/javascript; charset=utf-8', '.svg': 'image/svg+xml'}


def stamp(minutes_ago=0):
    return (datetime.datetime.now() - datetime.timedelta(minutes=minutes_ago)).isoformat(timespec='milliseconds')


class Api:
    """What the fake station answers; the tests change it while the page runs."""

    def __init__(self):
        self.lock = threading.Lock()
        self.status = {'register': {'online': True, 'offline_reason': None, 'receipt_open': False,
                                    'serial': '99IEC004711', 'firmware': '1.02', 'model': 'Norv ONe',
                                    'last_error': None},
                       'server': {'enabled': True, 'queue': 0, 'printing': False,
                                  'folder': '/srv/cassa', 'mask': '*.txt'}}
        self.receipts = []
        self.monitor = []
        self.registers = []

    def add_receipt(self, **fields):
        with self.lock:
            r = {'id': str(len(self.receipts) + 1), 'key': None, 'source': 'api', 'state': 'printed',
                 'receipt_number': None, 'total': None, 'lines': [], 'errors': [], 'accepted': stamp(),
                 'started': stamp(), 'finished': stamp()}
            r.update(fields)
            self.receipts.insert(0, r)
            return r

    def add_monitor(self, text):
        with self.lock:
            self.monitor.append(text)


def serve(api):
    class Handler(http.server.BaseHTTPRequestHandler):
        def log_message(self, *args):
            pass

        def reply(self, code, body, ctype):
            self.send_response(code)
            self.send_header('Content-Type', ctype)
            self.send_header('Content-Length', str(len(body)))
            self.send_header('Cache-Control', 'no-store')
            self.send_header('X-Content-Type-Options', 'nosniff')
            self.send_header('Content-Security-Policy', "default-src 'self'")
            self.end_headers()
            self.wfile.write(body)

        def do_GET(self):
            url = urlsplit(self.path)
            query = parse_qs(url.query)
            with api.lock:
                if url.path == '/api/v1/status':
                    return self.reply(200, json.dumps(api.status).encode(), 'application/json')
                if url.path == '/api/v1/receipts':
                    limit = int(query.get('limit', ['50'])[0])
                    return self.reply(200, json.dumps({'receipts': api.receipts[:limit]}).encode(), 'application/json')
                if url.path.startswith('/api/v1/receipts/'):
                    found = [r for r in api.receipts if r['id'] == url.path.rsplit('/', 1)[1]]
                    if found:
                        return self.reply(200, json.dumps(found[0]).encode(), 'application/json')
                    return self.reply(404, b'{"error": {"code": "unknown_receipt", "message": "Scontrino sconosciuto"}}',
                                      'application/json')
                if url.path == '/api/v1/registers':
                    return self.reply(200, json.dumps({'registers': api.registers}).encode(), 'application/json')
                if url.path == '/api/v1/monitor':
                    since = int(query.get('since', ['0'])[0])
                    lines = [{'seq': i + 1, 'text': t} for i, t in enumerate(api.monitor) if i + 1 > since]
                    return self.reply(200, json.dumps({'last': len(api.monitor), 'lines': lines}).encode(),
                                      'application/json')
            name = 'index.html' if url.path == '/' else url.path[len('/page/'):] if url.path.startswith('/page/') else ''
            path = os.path.join(PAGE, name)
            if name and '/' not in name and os.path.isfile(path):
                with open(path, 'rb') as f:
                    return self.reply(200, f.read(), TYPES.get(os.path.splitext(name)[1], 'application/octet-stream'))
            self.reply(404, b'{"error": {"code": "not_found", "message": "Risorsa sconosciuta"}}', 'application/json')

    server = http.server.ThreadingHTTPServer(('127.0.0.1', 0), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


class PageLogicTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.api = Api()
        cls.server = serve(cls.api)
        cls.url = f'http://127.0.0.1:{cls.server.server_address[1]}/'
        cls.driver = browser()
        cls.driver.get(cls.url)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.server.shutdown()

    def wait(self, condition):
        return WebDriverWait(self.driver, ROUND_S).until(condition)

    def row(self, receipt):
        return self.wait(lambda d: d.find_elements(By.CSS_SELECTOR, f'#elencoScontrini tr[data-id="{receipt["id"]}"]')
                         and d.find_element(By.CSS_SELECTOR, f'#elencoScontrini tr[data-id="{receipt["id"]}"]')
                         .get_attribute('data-state') == receipt['state']
                         and d.find_element(By.CSS_SELECTOR, f'#elencoScontrini tr[data-id="{receipt["id"]}"]'))

    def assertClean(self):
        self.assertEqual([e for e in self.driver.get_log('browser') if e['level'] == 'SEVERE'], [])
        with self.assertRaises(NoAlertPresentException):
            self.driver.switch_to.alert.text
        self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, 'main img, main script'), [])

    def test_register_and_server(self):
        self.wait(lambda d: d.find_element(By.ID, 'serialeEcr').text == '99IEC004711')
        self.assertEqual(self.driver.find_element(By.ID, 'statoEcr').text, 'Registratore in linea')
        self.assertEqual(self.driver.find_element(By.ID, 'serverDir').text, '/srv/cassa')
        self.assertEqual(self.driver.find_element(By.ID, 'scontrinoAperto').text, 'No')
        # Offline, in the station's own words, which the page shows as text.
        with self.api.lock:
            self.api.status['register'].update(
                online=False, offline_reason={'code': 'port_closed', 'message': '<b>Porta</b> Com1 non aperta'},
                last_error={'code': '<b>31</b>', 'number': 49, 'text': '<i>Fine carta'})
        self.wait(lambda d: d.find_element(By.ID, 'ultimoErrore').text == '<b>31</b> (49) - <i>Fine carta')
        self.assertEqual(self.driver.find_element(By.ID, 'statoEcr').text,
                         'Registratore non in linea: <b>Porta</b> Com1 non aperta')
        # On line, yet the operator holds it with an invoice open.
        with self.api.lock:
            self.api.status['register'].update(
                online=True, receipt_open=True, last_error=None,
                offline_reason={'code': 'operator_holds', 'message': 'Scontrino aperto dalla console sulla cassa'})
        self.wait(lambda d: d.find_element(By.ID, 'scontrinoAperto').text == 'S\u00ec')
        self.assertEqual(self.driver.find_element(By.ID, 'statoEcr').text,
                         'Registratore in linea, scontrini in attesa: Scontrino aperto dalla console sulla cassa')
        with self.api.lock:
            self.api.status['register'].update(receipt_open=False, offline_reason=None)
        self.wait(lambda d: d.find_element(By.ID, 'statoEcr').text == 'Registratore in linea')
        self.assertEqual(self.driver.find_element(By.ID, 'ultimoErrore').text, 'Nessuno')
        # The till's other registers: a link to each page; a name is text,
        # and an address that is not a plain http one is no link.
        self.assertFalse(self.driver.find_element(By.ID, 'registri').is_displayed())
        with self.api.lock:
            self.api.registers = [
                {'name': 'bar', 'serial': 'S1', 'online': True, 'self': True, 'url': 'http://127.0.0.1:8714/'},
                {'name': '<b>sala</b>', 'serial': 'S2', 'online': False, 'self': False,
                 'url': 'http://127.0.0.1:8715/'},
                {'name': 'strana', 'serial': '', 'online': True, 'self': False, 'url': 'javascript:alert(1)'}]
        self.wait(lambda d: d.find_element(By.ID, 'registri').is_displayed())
        nav = self.driver.find_element(By.ID, 'registri')
        self.assertEqual([li.text for li in nav.find_elements(By.TAG_NAME, 'li')],
                         ['bar (S1)', '<b>sala</b> (S2) \u2014 non in linea', 'strana'])
        self.assertEqual([a.get_attribute('href') for a in nav.find_elements(By.TAG_NAME, 'a')],
                         ['http://127.0.0.1:8715/'])
        self.assertEqual(nav.find_element(By.CSS_SELECTOR, '[aria-current="page"]').text, 'bar (S1)')
        self.assertClean()

    def test_printed_failed_and_hostile_receipts(self):
        printed = self.api.add_receipt(source='vendita.txt', receipt_number=42, total='3.40')
        row = self.row(printed)
        self.assertEqual(row.find_element(By.CSS_SELECTOR, '.numero').text, '42')
        self.assertEqual(row.find_element(By.CSS_SELECTOR, '.totale').text, '3,40')
        hostile = self.api.add_receipt(source=HOSTILE, receipt_number=43, total='1.20')
        self.assertEqual(self.row(hostile).find_element(By.CSS_SELECTOR, '.origine').text, HOSTILE)
        failed = self.api.add_receipt(key='pos-7', state='failed', lines=['3/S/<b>Caffe</b>//1/1.20/1/4/'],
                                      errors=[{'line': 1, 'code': '37', 'number': 55, 'text': 'Errore <grave>'}])
        row = self.row(failed)
        summary = row.find_element(By.CSS_SELECTOR, 'summary')
        self.assertEqual(summary.text, '37 (55) - Errore <grave>')
        self.assertEqual(row.find_element(By.CSS_SELECTOR, '.origine').text, 'API pos-7')
        summary.send_keys(Keys.ENTER)
        self.wait(lambda d: row.find_element(By.CSS_SELECTOR, '.righe li').is_displayed())
        self.assertEqual(row.find_element(By.CSS_SELECTOR, '.righe li').text, '3/S/<b>Caffe</b>//1/1.20/1/4/')
        self.assertIn('riga 1: 37 (55) - Errore <grave>', row.find_element(By.CSS_SELECTOR, '.risposte').text)
        # The next rounds keep it open, and the newest receipt on top.
        top = self.driver.find_element(By.CSS_SELECTOR, '#elencoScontrini tbody tr')
        self.assertEqual(top.get_attribute('data-id'), failed['id'])
        self.api.add_receipt(source='dopo.txt', receipt_number=44, total='0.50')
        self.wait(lambda d: d.find_element(By.CSS_SELECTOR, '#elencoScontrini tbody tr').text.find('dopo.txt') >= 0)
        self.assertIsNotNone(row.find_element(By.CSS_SELECTOR, 'details').get_attribute('open'))
        self.assertClean()

    def test_monitor_and_chart(self):
        self.api.add_monitor('PC -> ECR : 3/S/<script>alert(3)</script>//1/1.20/1/4/')
        self.api.add_monitor('ECR        : 00/00/')
        self.wait(lambda d: len(d.find_elements(By.CSS_SELECTOR, '#righeMonitor li')) >= 2)
        items = [li.text for li in self.driver.find_elements(By.CSS_SELECTOR, '#righeMonitor li')]
        self.assertEqual(items[:2], ['ECR        : 00/00/', 'PC -> ECR : 3/S/<script>alert(3)</script>//1/1.20/1/4/'])
        self.api.add_receipt(source='ora.txt', state='refused', errors=[{'line': 1, 'code': '14', 'text': 'x'}])
        self.wait(lambda d: d.find_elements(By.CSS_SELECTOR, '#disegno rect.barra-refused'))
        self.assertIn('rifiutati', self.driver.find_element(By.CSS_SELECTOR, '#disegno svg').get_attribute('aria-label'))
        self.assertClean()


if __name__ == '__main__':
    unittest.main(verbosity=2)
