#!/usr/bin/python3
"""The status page in a real browser (headless Chromium) against norvvelmd and
the simulated register over a pseudo-terminal: what the till's page shows, how
it shows texts it did not write, and how it behaves on a phone and by keyboard.

Environment: NORVVELM_BIN, the folder of norvvelmd and ecrsim."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'support'))

from page_rig import Till, browser, wait_until  # noqa: E402
from selenium.common.exceptions import NoAlertPresentException  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

BIN = os.environ.get('NORVVELM_BIN', os.path.join(os.getcwd(), 'bin'))
SERIAL = '99IEC004711'
# The page reads the API every 2 seconds: what the API knows is on the page
# within the next round.
PAGE_ROUND_S = 3
HOSTILE = '<img src=x onerror=alert(1)>&amp;"\'.txt'
HOSTILE_LINE = '3/S/<img src=y>//1/1.20/1/4/'

SALE = ['3/S/Caffe//1/1.20/1/4/', '3/S/Cornetto//2/1.10/1/4/', '5/1/0.00/////']


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.till = Till(BIN, serial=SERIAL).start()
        cls.driver = browser()
        cls.driver.get(cls.till.url)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.till.stop()

    def text(self, element_id):
        return self.driver.find_element(By.ID, element_id).text

    def row(self, receipt_id):
        found = self.driver.find_elements(By.CSS_SELECTOR, f'#elencoScontrini tbody tr[data-id="{receipt_id}"]')
        return found[0] if found else None

    def receipt_of(self, predicate, what):
        """The API's receipt that matches, once it has reached a final state."""
        def final():
            for r in self.till.receipts():
                if predicate(r) and r.get('state') in ('printed', 'failed', 'refused'):
                    return r
            return None
        return wait_until(what, final, timeout=30)

    def shown(self, receipt, state):
        """The receipt's row once the page shows it in `state`."""
        return WebDriverWait(self.driver, PAGE_ROUND_S).until(
            lambda d: (r := self.row(receipt['id'])) is not None and r.get_attribute('data-state') == state and r)

    def assertNoConsoleErrors(self):
        errors = [e for e in self.driver.get_log('browser') if e['level'] == 'SEVERE']
        self.assertEqual(errors, [])

    def assertNoAlert(self):
        with self.assertRaises(NoAlertPresentException):
            self.driver.switch_to.alert.text

    def test_register_shown(self):
        WebDriverWait(self.driver, PAGE_ROUND_S).until(lambda d: self.text('serialeEcr') == SERIAL)
        status = self.till.status()['register']
        self.assertEqual(self.text('modello'), status['model'])
        self.assertEqual(self.text('firmware'), status['firmware'])
        live = self.driver.find_element(By.ID, 'statoEcr')
        self.assertEqual(live.get_attribute('aria-live'), 'polite')
        self.assertEqual(live.text, 'Registratore in linea')
        self.assertEqual(self.text('serverAttivo'), 'S\u00ec')
        self.assertEqual(self.text('serverDir'), self.till.server_dir)
        self.assertEqual(self.text('serverFile'), self.till.mask)
        # The page and its files under a policy that lets no inline or foreign
        # script run; the JSON is never kept by a cache.
        for path in ('/', '/page/page.js', '/page/page.css', '/page/icon.svg'):
            code, headers, _ = self.till.get(path)
            self.assertEqual(code, 200, path)
            self.assertEqual(headers.get('Content-Security-Policy'), "default-src 'self'", path)
            self.assertEqual(headers.get('X-Content-Type-Options'), 'nosniff', path)
        self.assertEqual(self.till.get('/api/v1/status')[1].get('Cache-Control'), 'no-store')
        self.assertNoConsoleErrors()

    def test_monitor_lines_newest_first_as_text(self):
        self.till.drop('monitor.txt', [HOSTILE_LINE] + SALE[1:])
        first, last = 'PC -> ECR : ' + HOSTILE_LINE, 'PC -> ECR : ' + SALE[-1]

        def sent():
            texts = [line['text'] for line in self.till.json('/api/v1/monitor?since=0')['lines']]
            return first in texts and last in texts[texts.index(first):]
        wait_until('the receipt sent', sent, timeout=30)
        WebDriverWait(self.driver, PAGE_ROUND_S).until(
            lambda d: last in [li.text for li in d.find_elements(By.CSS_SELECTOR, '#righeMonitor li')])
        texts = [li.text for li in self.driver.find_elements(By.CSS_SELECTOR, '#righeMonitor li')]
        # Newest on top: the closing line above the first line of the receipt.
        self.assertLess(texts.index(last), texts.index(first))
        self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, 'main img, main script'), [])
        self.assertNoAlert()
        self.assertNoConsoleErrors()
    def test_printed_receipt_with_its_number(self):
        self.till.drop('vendita.txt', SALE)
        receipt = self.receipt_of(lambda r: 'vendita.txt' in str(r.get('source', '')) + str(r.get('file', '')),
                                  'the sale printed')
        self.assertEqual(receipt['state'], 'printed')
        row = self.shown(receipt, 'printed')
        self.assertEqual(row.find_element(By.CSS_SELECTOR, '.numero').text, str(receipt['receipt_number']))
        self.assertNotEqual(str(receipt['receipt_number']), '')
        self.assertIsNotNone(receipt.get('total'), 'the register\'s total of the receipt')
        self.assertEqual(row.find_element(By.CSS_SELECTOR, '.totale').text, receipt['total'].replace('.', ','))
        self.assertTrue(receipt['lines'], 'the lines of the file')
        self.assertIn('vendita.txt', row.find_element(By.CSS_SELECTOR, '.origine').text)
        self.assertIn('Stampato', row.text)
        # Newest first: the row is the top one.
        first = self.driver.find_element(By.CSS_SELECTOR, '#elencoScontrini tbody tr')
        self.assertEqual(first.get_attribute('data-id'), str(receipt['id']))
        self.assertNoConsoleErrors()

    def test_hostile_file_name_is_text(self):
        self.till.drop(HOSTILE, [HOSTILE_LINE] + SALE[1:])
        receipt = self.receipt_of(lambda r: HOSTILE in str(r.get('source', '')) + str(r.get('file', '')),
                                  'the hostile file printed')
        row = self.shown(receipt, receipt['state'])
        self.assertEqual(row.find_element(By.CSS_SELECTOR, '.origine').text, HOSTILE)
        # The line as sent, shown by the monitor as text.
        WebDriverWait(self.driver, PAGE_ROUND_S).until(lambda d: any(
            li.text == 'PC -> ECR : ' + HOSTILE_LINE for li in d.find_elements(By.CSS_SELECTOR, '#righeMonitor li')))
        self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, 'main img, main script'), [])
        self.assertNoAlert()
        self.assertNoConsoleErrors()

    def test_failed_receipt_opens_to_lines_and_answers(self):
        self.till.control('fault serious=37')
        self.till.drop('guasto.txt', SALE)
        receipt = self.receipt_of(lambda r: 'guasto.txt' in str(r.get('source', '')) + str(r.get('file', '')),
                                  'the receipt given up')
        self.till.control('clear')
        self.assertEqual(receipt['state'], 'failed')
        self.assertTrue(receipt['errors'])
        error = receipt['errors'][0]
        row = self.shown(receipt, 'failed')
        self.assertIn('Non stampato', row.text)
        summary = row.find_element(By.CSS_SELECTOR, 'details summary')
        # The register's code with the number the monitor and the log show.
        said = f"{error['code']} ({error['number']}) - {error['text']}" if error.get('code') else error['text']
        self.assertTrue(said)
        self.assertIn(said, summary.text)
        # Opened from the keyboard: the lines sent and the register's answers.
        summary.send_keys(Keys.ENTER)
        details = row.find_element(By.CSS_SELECTOR, 'details')
        WebDriverWait(self.driver, PAGE_ROUND_S).until(
            lambda d: details.get_attribute('open') is not None and details.find_elements(By.CSS_SELECTOR, '.righe li'))
        lines = [li.text for li in details.find_elements(By.CSS_SELECTOR, '.righe li')]
        sent = self.till.json(f"/api/v1/receipts/{receipt['id']}")['lines']
        self.assertEqual(lines, sent or ['(nessuna riga)'])
        answers = details.find_element(By.CSS_SELECTOR, '.risposte').text
        self.assertIn(error['text'], answers)
        self.assertNoConsoleErrors()

    def test_chart_counts_todays_receipts(self):
        receipts = [r for r in self.till.receipts() if r.get('state') in ('printed', 'failed', 'refused')]
        if not receipts:
            self.till.drop('grafico.txt', SALE)
            self.receipt_of(lambda r: 'grafico.txt' in str(r.get('source', '')) + str(r.get('file', '')),
                            'the receipt printed')
            receipts = [r for r in self.till.receipts() if r.get('state') in ('printed', 'failed', 'refused')]
        printed = sum(1 for r in receipts if r['state'] == 'printed')

        def drawn(d):
            bars = d.find_elements(By.CSS_SELECTOR, '#disegno svg rect.barra-printed title')
            return sum(int(t.get_attribute('textContent').split(': ')[1].split()[0]) for t in bars) == printed
        WebDriverWait(self.driver, PAGE_ROUND_S).until(drawn)
        label = self.driver.find_element(By.CSS_SELECTOR, '#disegno svg').get_attribute('aria-label')
        self.assertIn('stampati', label)


class PhoneWidthTest(unittest.TestCase):
    """A phone's width (320 CSS pixels, as at 400 % zoom of a 1280 screen):
    nothing but a table scrolls sideways, and every control is reached by Tab."""

    @classmethod
    def setUpClass(cls):
        cls.till = Till(BIN, serial=SERIAL).start()
        cls.till.drop('telefono.txt', SALE)
        wait_until('the receipt printed', lambda: not os.path.exists(os.path.join(cls.till.server_dir, 'telefono.txt'))
                   and cls.till.status()['server']['queue_lines'] == 0, timeout=30)
        cls.driver = browser(width=800, height=900)
        cls.driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                                   {'width': 320, 'height': 640, 'deviceScaleFactor': 2, 'mobile': True})
        cls.driver.get(cls.till.url)
        WebDriverWait(cls.driver, PAGE_ROUND_S).until(lambda d: d.find_elements(By.CSS_SELECTOR, '#righeMonitor li'))

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.till.stop()

    def test_no_sideways_scroll(self):
        width = self.driver.execute_script('return document.documentElement.scrollWidth')
        inner = self.driver.execute_script('return window.innerWidth')
        self.assertLessEqual(width, inner)

    def test_tab_reaches_the_receipts(self):
        body = self.driver.find_element(By.TAG_NAME, 'body')
        body.send_keys(Keys.TAB)
        skip = self.driver.switch_to.active_element
        self.assertEqual(skip.get_attribute('href').split('#')[1], 'scontrini')
        skip.send_keys(Keys.ENTER)
        self.assertEqual(self.driver.switch_to.active_element.get_attribute('id'), 'scontrini')
        self.assertEqual([e for e in self.driver.get_log('browser') if e['level'] == 'SEVERE'], [])


if __name__ == '__main__':
    unittest.main(verbosity=2)
