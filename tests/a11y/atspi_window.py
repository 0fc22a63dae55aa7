"""The window NorvVelm through the desktop's accessibility bus, the way a
screen reader meets it: controls found by their captions and accessible
names, pressed through their actions, outputs read by their names.

Run by run-atspi inside a private X display and D-Bus session; NORVVELM_BIN
names the build's programs and NORVVELM_WORK a scratch folder.
"""

import os
import subprocess
import sys
import time
import unittest

import pyatspi

BIN = os.environ["NORVVELM_BIN"]
WORK = os.environ["NORVVELM_WORK"]
PATIENCE = 30.0  # seconds a condition may take before the test gives up


def wait_for(what, condition):
    """Polls `condition` until it gives a true value, which it returns."""
    deadline = time.monotonic() + PATIENCE
    while True:
        try:
            value = condition()
        except Exception:  # the tree changes under the walk: try again
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("not seen within %.0f s: %s" % (PATIENCE, what))
        time.sleep(0.1)


def showing(acc):
    return acc.getState().contains(pyatspi.STATE_SHOWING)


def descendants(acc):
    """Every showing descendant of `acc`; tables (the PLU grid) are not entered."""
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is None or not showing(child):
            continue
        yield child
        if child.getRole() != pyatspi.ROLE_TABLE:
            yield from descendants(child)


def find(root, role, name=None, prefix=None):
    for acc in descendants(root):
        if acc.getRole() != role:
            continue
        if name is not None and acc.name.strip() != name:
            continue
        if prefix is not None and not acc.name.startswith(prefix):
            continue
        return acc
    return None


def press(acc):
    action = acc.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    lower = [n.lower() for n in names]
    action.doAction(lower.index("press") if "press" in lower else 0)


class WindowThroughAtSpi(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        home = os.path.join(WORK, "home")
        server = os.path.join(home, "server")
        os.makedirs(server)
        cls.link = os.path.join(home, "ecr")
        with open(os.path.join(home, "NorvVelm.ini"), "w", newline="\r\n") as ini:
            ini.write(
                "[Parametri]\nModello=Norv ONe\nPorta=1\nVelocita=9600\nServerStato=On\n"
                "ServerModalita=Normal\nServerDir=%s\nServerFile=scontrino.txt\nServerLog=On\n"
                "[Porte]\nCom1=%s\n" % (server, cls.link)
            )
        cls.log = open(os.path.join(WORK, "programs.log"), "w")
        cls.sim = subprocess.Popen(
            [os.path.join(BIN, "ecrsim"), "--pty", cls.link], stdout=cls.log, stderr=cls.log
        )
        wait_for("the simulated register's terminal", lambda: os.path.exists(cls.link))
        env = dict(os.environ)
        env.update(
            NORVVELM_HOME=home,
            QT_QPA_PLATFORM="xcb",
            QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
            QT_ACCESSIBILITY="1",
        )
        cls.window = subprocess.Popen(
            [os.path.join(BIN, "NorvVelm")], env=env, stdout=cls.log, stderr=cls.log
        )
        # A modal dialog keeps its opening press from returning: calls give
        # up after a few seconds instead of the default 25.
        pyatspi.setTimeout(3000, 30000)

        def application():
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is not None and app.name == "NorvVelm":
                    return app
            return None

        cls.app = wait_for("NorvVelm on the accessibility bus", application)
        cls.frame = wait_for(
            "the main window",
            lambda: find(cls.app, pyatspi.ROLE_FRAME, prefix=" NorvVelm - Versione"),
        )
        cls.tabs = wait_for(
            "the main tab strip", lambda: find(cls.frame, pyatspi.ROLE_PAGE_TAB_LIST)
        )

    @classmethod
    def tearDownClass(cls):
        for proc in (cls.window, cls.sim):
            proc.terminate()
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        cls.log.close()

    def tab_names(self):
        # The tab bar's children are its tabs and its two scroll buttons.
        tabs = (self.tabs.getChildAtIndex(i) for i in range(self.tabs.childCount))
        return [t.name.strip() for t in tabs if t.getRole() == pyatspi.ROLE_PAGE_TAB]

    def select_tab(self, caption):
        tab = wait_for(
            "the tab " + caption,
            lambda: find(self.tabs, pyatspi.ROLE_PAGE_TAB, name=caption),
        )
        press(tab)
        # The current tab is the one with the focus among its siblings.
        wait_for(
            "the tab %s selected" % caption,
            lambda: tab.getState().contains(pyatspi.STATE_FOCUSED),
        )

    def test_1_reachable_tabs_without_the_technician(self):
        # After a normal start-up the technician's tab is not offered.
        wait_for("three tabs", lambda: len(self.tab_names()) == 3)
        self.assertEqual(self.tab_names(), ["Configuraz. PC", "Configuraz. ECR", "Uso come ECR"])

    def test_2_key_press_read_on_the_display(self):
        self.select_tab("Uso come ECR")
        for caption in ("1", "5", "0", "REP-01"):
            key = wait_for(
                "the key " + caption,
                lambda: find(self.frame, pyatspi.ROLE_PUSH_BUTTON, name=caption),
            )
            press(key)
        line = wait_for(
            "the display's first line with the amount",
            lambda: find(self.frame, pyatspi.ROLE_LABEL, prefix="Display riga 1: 1,50"),
        )
        self.assertTrue(line.name.startswith("Display riga 1: 1,50"))

    def test_3_technician_login_offers_the_tab(self):
        menus = find(self.frame, pyatspi.ROLE_MENU_BAR)
        item = wait_for(
            "the menu item Login Tecnico",
            lambda: find_any(menus, pyatspi.ROLE_MENU_ITEM, "Login Tecnico"),
        )
        try:
            press(item)  # the dialog is modal: the press returns once it closes
        except Exception:
            pass
        dialog = wait_for(
            "the login dialog", lambda: find(self.app, pyatspi.ROLE_DIALOG, name="Login Tecnico")
        )
        password = wait_for(
            "the password box",
            lambda: find(dialog, pyatspi.ROLE_PASSWORD_TEXT, name="Password"),
        )
        self.assertEqual(password.queryText().characterCount, 0)
        press(wait_for("OK", lambda: find(dialog, pyatspi.ROLE_PUSH_BUTTON, name="OK")))
        wait_for("four tabs", lambda: len(self.tab_names()) == 4)
        self.assertEqual(self.tab_names()[3], "Pannello del Tecnico")
        self.select_tab("Pannello del Tecnico")
        wait_for(
            "the technician's display copy",
            lambda: find(self.frame, pyatspi.ROLE_TEXT, prefix="Display riga 1"),
        )


def find_any(root, role, name):
    """Like find, but through hidden menus too: a menu's items are in the tree
    before it opens."""
    stack = [root]
    while stack:
        acc = stack.pop()
        for i in range(acc.childCount):
            child = acc.getChildAtIndex(i)
            if child is None or child.getRole() == pyatspi.ROLE_TABLE:
                continue
            if child.getRole() == role and child.name.strip() == name:
                return child
            stack.append(child)
    return None


if __name__ == "__main__":
    result = unittest.main(exit=False, verbosity=2).result
    if not result.wasSuccessful():
        log = os.path.join(WORK, "programs.log")
        if os.path.exists(log):
            sys.stderr.write("--- what the programs said ---\n" + open(log).read())
        sys.exit(1)
