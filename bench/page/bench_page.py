#!/usr/bin/python3
"""The status page's figures, against norvvelmd and ecrsim over a pty:
  ms_page_first_render  from navigation to the register's serial on the page
                        (fresh browser cache; median of 5 loads)
  kb_page_transfer      everything the page loads up to its first full round
                        (the page, its style, script and icon, and the JSON)"""

import statistics
import sys

sys.path.insert(0, '@PROJECT_SOURCE_DIR@/tests/support')

from page_rig import Till, browser, wait_until  # noqa: E402

BIN = '@CMAKE_RUNTIME_OUTPUT_DIRECTORY@'
SERIAL = '99IEC000042'
LOADS = 5

# Runs in the page before its own script: notes when the serial first shows.
WATCH = """
new MutationObserver(function (changes, observer) {
  var node = document.getElementById('serialeEcr');
  if (node && node.textContent === '%s') {
    window.__serialShownMs = performance.now();
    observer.disconnect();
  }
}).observe(document, {subtree: true, childList: true, characterData: true});
""" % SERIAL

TRANSFER = """
var sum = 0;
for (const e of performance.getEntriesByType('navigation').concat(performance.getEntriesByType('resource')))
  sum += e.transferSize;
return sum;
"""


def main():
    with Till(BIN, serial=SERIAL) as till:
        till.drop('bench.txt', ['3/S/Caffe//1/1.20/1/4/', '5/1/0.00/////'])
        till.wait_sent('bench.txt')
        driver = browser()
        try:
            driver.execute_cdp_cmd('Network.enable', {})
            driver.execute_cdp_cmd('Network.setCacheDisabled', {'cacheDisabled': True})
            driver.execute_cdp_cmd('Page.addScriptToEvaluateOnNewDocument', {'source': WATCH})
            times = []
            transfer = 0
            for _ in range(LOADS):
                driver.get(till.url)
                ms = wait_until('the serial on the page',
                                lambda: driver.execute_script('return window.__serialShownMs'), 10, 0.005)
                times.append(ms)
                # The first round is over once the monitor's answer is in.
                wait_until('the first round', lambda: driver.execute_script(
                    "return performance.getEntriesByType('resource').some(e => e.name.includes('/monitor'))"
                    " && document.getElementById('aggiornato').textContent.startsWith('Aggiornato')"), 10)
                transfer = driver.execute_script(TRANSFER)
        finally:
            driver.quit()
    print(f'ms_page_first_render: {statistics.median(times):.0f}')
    print(f'kb_page_transfer: {transfer / 1024:.1f}')


if __name__ == '__main__':
    main()
