"""The Windows client under Wine, for the demo and the end-to-end test: a
Wine prefix (made afresh, or one that CTest's Wine fixture made), the
client's environment there, the desktop folder Wine gives it, and the
shortcut it writes."""

import getpass
import os
import re
import shutil
import subprocess

# No installer dialogs for Mono and Gecko, no menu entries for shortcuts.
DLL_OVERRIDES = "mscoree=;mshtml=;winemenubuilder.exe=d"
# The client's locale: its date form is dd/MM/yyyy HH:mm:ss on Windows and
# under Wine alike (Wine's German short date, d.M.yyyy, is not Windows').
LOCALE = "en_GB.UTF-8"


def windows_path(path):
    """A path of this machine as a Windows program sees it (drive Z:)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class WinePrefix:
    """A Wine prefix and the home folder Wine links its desktop to."""

    def __init__(self, wine_dir):
        self.dir = os.path.abspath(wine_dir)
        self.prefix = os.path.join(self.dir, "prefix")
        self.home = os.path.join(self.dir, "home")

    def env(self, base=None):
        env = dict(base if base is not None else os.environ, WINEPREFIX=self.prefix, HOME=self.home,
                   WINEDEBUG="-all", WINEDLLOVERRIDES=DLL_OVERRIDES, LC_ALL=LOCALE)
        env.pop("XDG_DESKTOP_DIR", None)
        return env

    def exists(self):
        return os.path.isfile(os.path.join(self.prefix, "system.reg"))

    def create(self):
        """A fresh prefix whose desktop is home/Desktop (it must exist before
        wineboot for Wine to link it there): about 10 to 14 s."""
        self.stop()
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(os.path.join(self.home, "Desktop"))
        env = self.env()
        subprocess.run(["wineboot", "-i"], env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=300)
        subprocess.run(["wineserver", "-w"], env=env, check=True, timeout=300)

    def serve(self, procs, display):
        """Starts the prefix's server, and Wine's own helper processes on
        the display, in a process group of their own, so that stopping a
        program's group (the client and what it started) leaves them running
        for the next one. Nothing happens when a server of the prefix runs
        already."""
        env = dict(self.env(), DISPLAY=display)
        procs.start(["wineserver", "--foreground", "--persistent"], env=env, stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL)
        # A first program that asks for the desktop window starts the helper
        # processes, the desktop's own (explorer.exe /desktop) among them, in
        # this group: started by a client they would go when its group is
        # stopped, and the next client would wait for a new desktop. The
        # output goes nowhere, as the helpers keep a pipe open after it ends.
        procs.start(["wine", "rundll32.exe", "user32.dll,GetDesktopWindow"], env=env, stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL).wait(timeout=120)

    def stop(self):
        """Ends every Wine process of the prefix, through its server: call it
        before stopping the server's process group, or Wine's helper
        processes outlive the server."""
        if os.path.isdir(self.prefix):
            subprocess.run(["wineserver", "-k"], env=self.env(), capture_output=True, timeout=60)

    def desktop(self):
        """The folder the Windows desktop of the prefix's user is."""
        users = os.path.join(self.prefix, "drive_c", "users")
        folder = os.path.join(users, getpass.getuser(), "Desktop")
        return os.path.realpath(folder)

    def button_face(self):
        """The system's button face colour (r, g, b) of the prefix's user."""
        with open(os.path.join(self.prefix, "user.reg"), encoding="utf-8", errors="replace") as f:
            text = f.read()
        section = re.search(r'^\[Control Panel\\\\Colors\][^\n]*\n(.*?)(?:\n\n|\Z)', text, re.S | re.M)
        value = section and re.search(r'^"ButtonFace"="(\d+) (\d+) (\d+)"', section.group(1), re.M)
        if not value:
            raise RuntimeError("no ButtonFace colour in the prefix's user.reg")
        return tuple(int(v) for v in value.groups())


def lnk_strings(path):
    """The UTF-16 strings of a shell link file (target, working folder, icon)
    and its ANSI local base path, as one text to search in."""
    with open(path, "rb") as f:
        data = f.read()
    wide = data.decode("utf-16-le", errors="replace") + data[1:].decode("utf-16-le", errors="replace")
    return wide + "\n" + data.decode("latin-1")
