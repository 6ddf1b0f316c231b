"""The machinery of the end-to-end test: a private X display, the update
server, the client in a temporary program folder, screenshots kept as
artefacts, and the message boxes the client raises."""

import ctypes
import ctypes.util
import os
import shutil
import subprocess
import sys
import threading
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
TOOLS = os.path.join(ROOT, "tools")
sys.path.insert(0, os.path.join(TOOLS, "demo"))
import sample_packages  # noqa: E402
from processes import Processes  # noqa: E402,F401
import scripted_user as su  # noqa: E402

PYTHON = "/usr/bin/python3"


class LoggedServer:
    """A test server whose stdout ("LISTENING", "READY", then its log) is read
    by a thread, so a long log never blocks it."""

    def __init__(self, procs, args):
        self.proc = procs.start(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.ports, self.lines = {}, []
        self._ready = threading.Event()
        threading.Thread(target=self._read, daemon=True).start()
        if not self._ready.wait(60) or not self.ports:
            raise RuntimeError("the server %s did not start: %s" % (os.path.basename(args[1]), self.stderr_text()))

    def _read(self):
        for line in self.proc.stdout:
            words = line.split()
            if not self._ready.is_set():
                if words[:1] == ["LISTENING"] and len(words) == 3:
                    self.ports[words[1]] = int(words[2])
                if words == ["READY"]:
                    self._ready.set()
                continue
            self.lines.append(line.rstrip("\n"))
        self._ready.set()

    def stderr_text(self):
        if self.proc.poll() is None:
            return "(still running)"
        return self.proc.stderr.read()

    def log(self, since=0):
        return list(self.lines[since:])


def update_server(procs, published, *extra):
    return LoggedServer(procs, [PYTHON, os.path.join(TOOLS, "update_server.py"), "--root", published,
                                "--ftp-login-fail-delay", "0", *extra])


def ftp_server(procs, published, user, password):
    return LoggedServer(procs, [PYTHON, os.path.join(TOOLS, "ftp_server.py"), "--root", published,
                                "--user", user, "--password", password])


def start_xvfb(procs):
    read_fd, write_fd = os.pipe()
    # -noreset: by default the server starts over each time its last client
    # leaves, and refuses a client that connects in that moment.
    procs.start(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_fd,), stderr=subprocess.DEVNULL)
    os.close(write_fd)
    with os.fdopen(read_fd) as f:
        number = f.readline().strip()
    if not number:
        raise RuntimeError("Xvfb did not start")
    return ":" + number


class LiveScreen:
    """The display's pixels, each read straight from the X server when asked
    (libX11 through ctypes): an image for ClientWindow.panel that shows a
    panel within a millisecond of its drawing, where a screenshot by `import`
    takes tens of milliseconds."""

    _ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)

    def __init__(self, display):
        x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x11.XGetImage.restype = ctypes.c_void_p
        x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                  ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        x11.XGetPixel.restype = ctypes.c_ulong
        x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
        x11.XDestroyImage.argtypes = [ctypes.c_void_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x11.XSetErrorHandler.argtypes = [self._ERROR_HANDLER]
        # A point off the screen is an X error, by default the end of the
        # process; here it is a pixel that is not there.
        self._ignore_errors = self._ERROR_HANDLER(lambda display, error: 0)
        x11.XSetErrorHandler(self._ignore_errors)
        self.x11 = x11
        self.display = x11.XOpenDisplay(display.encode())
        if not self.display:
            raise RuntimeError("cannot open the X display %s" % display)
        self.root = x11.XDefaultRootWindow(self.display)

    def at(self, x, y):
        image = self.x11.XGetImage(self.display, self.root, x, y, 1, 1, ctypes.c_ulong(-1).value, 2)  # ZPixmap
        if not image:
            return None
        try:
            pixel = self.x11.XGetPixel(image, 0, 0)
        finally:
            self.x11.XDestroyImage(image)
        return ((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF)

    def close(self):
        if self.display:
            self.x11.XCloseDisplay(self.display)
            self.display = None


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("l", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _ClientMessage), ("pad", ctypes.c_long * 24)]


def close_window(display, wid):
    """What a window manager sends when the user clicks a window's close
    button: WM_DELETE_WINDOW. (xdotool's windowclose destroys the window
    instead, which no toolkit takes for the user closing it; the display has
    no window manager.)"""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    if not dpy:
        raise RuntimeError("cannot open the X display %s" % display)
    try:
        event = _XEvent()
        event.xclient.type = 33  # ClientMessage
        event.xclient.display = dpy
        event.xclient.window = int(wid)
        event.xclient.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", False)
        event.xclient.format = 32
        event.xclient.l[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", False)
        event.xclient.l[1] = 0  # CurrentTime
        x11.XSendEvent(dpy, int(wid), False, 0, ctypes.byref(event))
        x11.XFlush(dpy)
    finally:
        x11.XCloseDisplay(dpy)


def cover_for_a_moment(display, x, y, width, height, seconds=0.3):
    """Maps a plain magenta window over a place of the screen and takes it
    away again, as another program's window would: the X server keeps no
    copy of what was below, so the window there must draw it anew (Expose),
    which only a window that handles its events does."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XCreateSimpleWindow.restype = ctypes.c_ulong
    x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                                        ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_ulong]
    for name in ("XMapRaised", "XDestroyWindow"):
        getattr(x11, name).argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    if not dpy:
        raise RuntimeError("cannot open the X display %s" % display)
    try:
        cover = x11.XCreateSimpleWindow(dpy, x11.XDefaultRootWindow(dpy), x, y, width, height, 0, 0, COVER_PIXEL)
        x11.XMapRaised(dpy, cover)
        x11.XSync(dpy, False)
        time.sleep(seconds)
        x11.XDestroyWindow(dpy, cover)
        x11.XSync(dpy, False)
    finally:
        x11.XCloseDisplay(dpy)


COVER_PIXEL = 0xFF00FF
COVER_COLOUR = (255, 0, 255)


def repaint_time(display, screen, box, timeout):
    """Seconds the window in box (x, y, width, height) takes to draw itself
    again after a moment under another window, or None when it has not
    within timeout. Judged at a grid of points, against their pixels before."""
    x, y, width, height = box
    points = [(x + width * i // 8, y + height * j // 8) for i in range(1, 8) for j in range(1, 8)]
    before = [screen.at(px, py) for px, py in points]
    if COVER_COLOUR in before:
        raise RuntimeError("the window itself shows the cover's colour")
    cover_for_a_moment(display, x, y, width, height)
    uncovered = time.monotonic()
    while True:
        if [screen.at(px, py) for px, py in points] == before:
            return time.monotonic() - uncovered
        if time.monotonic() - uncovered > timeout:
            return None
        time.sleep(0.01)


def client_environment(display, home):
    env = dict(os.environ, DISPLAY=display, HOME=home, LC_ALL="C.UTF-8", QT_QPA_PLATFORM="xcb",
               XDG_CONFIG_HOME=os.path.join(home, ".config"))
    env.pop("XDG_DESKTOP_DIR", None)
    return env


def file_state(folder):
    """relative path -> (bytes, mtime) of every file below folder, and the set of folders."""
    files, folders = {}, set()
    for root, dirs, names in os.walk(folder):
        folders.update(os.path.relpath(os.path.join(root, d), folder) for d in dirs)
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, folder)] = (f.read(), os.stat(path).st_mtime)
    return files, folders


class Failure(AssertionError):
    pass


def expect(condition, message):
    if not condition:
        raise Failure(message)


def wait_for(condition, timeout, what, interval=0.25):
    try:
        return su.wait_for(condition, timeout, what, interval)
    except TimeoutError as e:
        raise Failure(str(e)) from None


class Scenario:
    """One scenario's temporary folders, client, screen and artefacts."""

    def __init__(self, name, client, artefacts, display, procs):
        self.name, self.procs, self.display = name, procs, display
        self.work = os.path.join(artefacts, "work-" + name)
        self.screens = os.path.join(artefacts, name)
        for d in (self.work, self.screens):
            shutil.rmtree(d, ignore_errors=True)
            os.makedirs(d)
        self.published = os.path.join(self.work, "published")
        self.program = os.path.join(self.work, "program")
        self.home = os.path.join(self.work, "home")
        os.makedirs(os.path.join(self.home, "Desktop"))
        self.client_binary = client
        self.env = client_environment(display, self.home)
        self.desktop = su.Desktop(self.env)
        self.shots, self.client, self.client_log = [], None, None
        # The font message boxes are drawn in (e2e_screens.message_width).
        self.message_font = None

    def start_client(self, http_port, run=1, env=None):
        """env: variables added to the client's environment."""
        self.client_log = os.path.join(self.work, "client-%d.log" % run)
        with open(self.client_log, "wb") as log:
            self.client = self.procs.start([os.path.join(self.program, "QOR_sync_PRO"), "--update-server",
                                            "127.0.0.1:%d" % http_port], env=dict(self.env, **(env or {})),
                                           stdout=log, stderr=log)
        try:
            window = su.ClientWindow(self.desktop, sample_packages.COLOURS, timeout=60)
        except TimeoutError as e:
            raise Failure(str(e)) from None
        return window

    def screen(self):
        # A window mapped or unmapped at that moment can make one capture fail.
        for attempt in range(3):
            try:
                return self.desktop.screenshot()
            except subprocess.CalledProcessError:
                if attempt == 2:
                    raise
                time.sleep(0.5)

    def shot(self, label):
        path = os.path.join(self.screens, "%02d-%s.png" % (len(self.shots) + 1, label))
        image = self.desktop.screenshot(path)
        self.shots.append(path)
        return image

    def message_boxes(self):
        return self.desktop.windows("^" + su.MESSAGE_TITLE + "$")

    def close_message_box(self, wid):
        """Screenshots the box, presses Return on it and waits until it is
        gone; returns the screenshot and the box's place (x, y, w, h)."""
        geometry = self.desktop.geometry(wid)
        image = self.shot("message")
        self.desktop.run("xdotool", "windowfocus", "--sync", wid, check=False)
        self.desktop.run("xdotool", "key", "--clearmodifiers", "Return", check=False)
        wait_for(lambda: wid not in self.message_boxes(), 30, "the message box to close")
        return image, geometry

    def wait_client_exit(self, timeout=60):
        try:
            return self.client.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the client did not end within %d s after the finish click" % timeout) from None

    def keep_artefacts(self):
        print("  screenshots kept:")
        for path in self.shots:
            print("    " + path)
        try:
            failure = os.path.join(self.screens, "failure.png")
            self.desktop.screenshot(failure)
            print("    " + failure + "  (the screen at the failure)")
        except Exception as e:  # the display itself may be gone
            print("    (no screenshot of the failure: %s)" % e)
        if self.client_log and os.path.exists(self.client_log):
            with open(self.client_log, "rb") as f:
                tail = f.read()[-2000:].decode(errors="replace")
            print("  client output (%s):\n    %s" % (self.client_log, tail.strip().replace("\n", "\n    ") or "(none)"))
        print("  work folder kept: " + self.work)

    def discard_artefacts(self):
        shutil.rmtree(self.screens, ignore_errors=True)
        shutil.rmtree(self.work, ignore_errors=True)


def run_scenarios(scenarios, names, new_scenario, template, keep):
    """Runs each named scenario in its own copy of the template's published
    set and program folder, with processes of its own; the screenshots of a
    passing one go unless `keep`. Returns the names of those that failed."""
    failed = []
    for name in names:
        print("scenario %s" % name, flush=True)
        procs = Processes()
        sc = None
        try:
            sc = new_scenario(name, procs)
            shutil.copytree(os.path.join(template, "published"), sc.published)
            shutil.copytree(os.path.join(template, "program"), sc.program, symlinks=True)
            scenarios[name](sc)
            print("  PASS", flush=True)
            procs.stop_all()
            if not keep:
                sc.discard_artefacts()
        except Exception as e:
            print("  FAIL: %s" % e if isinstance(e, Failure) else "  ERROR:\n" + traceback.format_exc())
            if sc is not None:
                sc.keep_artefacts()
            failed.append(name)
        finally:
            procs.stop_all()
        sys.stdout.flush()
    return failed


def report_scenarios(failed, total):
    """The closing line, and the exit status."""
    print("%d of %d scenarios failed%s" % (len(failed), total, (": " + ", ".join(failed)) if failed else ""))
    return 1 if failed else 0
