#!/usr/bin/python3
"""A picture of the till's status page: norvvelmd and ecrsim over a pty in a
fresh home folder, a few receipts of the demonstration (printed ones and one
the register gave up), headless Chromium at 1280 pixels.

  page_screenshot.py BIN_DIR OUT.png"""

import os
import shutil
import sys

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, '..', '..', 'tests', 'support'))

from page_rig import Till, browser  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

RECEIPTS = [
    ('scontrino.txt', ['3/S/Caffe//1/1.20/1/4/', '3/S/Cornetto//2/1.10/1/4/', '5/1/0.00/////']),
    ('cassa2-0001.txt', ['3/S/Coca Cola 1,70/second , descr/1/25.88/1/4/', '3/S/REPARTO2//1/25.88/2/10/',
                         '4/10.00///0/0/0//', '5/1/0.00/////']),
    ('cassa2-0002.txt', ['3/S/Acqua//2/0.50/1/4/', '5/1/0.00/////']),
]
FAILED = ('cassa2-0003.txt', ['3/S/Panino//1/4.50/1/4/', '5/1/0.00/////'])


def main():
    bin_dir, out = sys.argv[1], sys.argv[2]
    # A short, fixed home folder: its paths show in the picture.
    home = os.path.join(os.environ.get('TMPDIR', '/tmp'), 'norvvelm-page')
    shutil.rmtree(home, ignore_errors=True)
    os.makedirs(home)
    with Till(bin_dir, serial='99IEC012345', home=home) as till:
        for name, lines in RECEIPTS:
            till.drop(name, lines)
            till.wait_sent(name)
        till.control('fault serious=37')
        till.drop(*FAILED)
        till.wait_sent(FAILED[0])
        till.control('clear')
        driver = browser(1280, 1000)
        try:
            driver.get(till.url)
            WebDriverWait(driver, 5).until(lambda d: d.find_elements(By.CSS_SELECTOR, '#righeMonitor li'))
            listed = len(till.receipts())
            WebDriverWait(driver, 5).until(
                lambda d: len(d.find_elements(By.CSS_SELECTOR, '#elencoScontrini tbody tr')) == listed)
            # A failed receipt opened to its lines and the register's answers.
            for summary in driver.find_elements(By.CSS_SELECTOR, 'tr[data-state="failed"] summary')[:1]:
                summary.click()
                WebDriverWait(driver, 5).until(lambda d: d.find_elements(By.CSS_SELECTOR, 'details[open] .righe li'))
            height = driver.execute_script('return document.documentElement.scrollHeight')
            driver.set_window_size(1280, height + 100)
            driver.execute_cdp_cmd('Emulation.setDeviceMetricsOverride',
                                   {'width': 1280, 'height': height, 'deviceScaleFactor': 1, 'mobile': False})
            driver.save_screenshot(out)
        finally:
            driver.quit()


if __name__ == '__main__':
    main()
