"""A scripted user for the real client window on an X display.

It finds the window, moves and clicks the real pointer with xdotool, takes
screenshots with ImageMagick's `import`, and tells from the screen which
panel the window shows. Places are the window's own (in pixels of its client
area, 15 twips each), so it needs no knowledge of the client's code.
"""

import os
import subprocess
import time

TITLE = "QOR synchro center"
MESSAGE_TITLE = "QOR_sync_PRO"

# Points of the client area (pixels) whose colour tells the panel apart.
HEADER_POINT = (5, 5)              # language panel: white; header strip: col_head
LIST2_ONLY = (40, 360)             # inside List2, outside List3
LIST3_ONLY = (266, 320)            # inside List3 (below its items), outside List2
PAGE_BUTTON = (268, 466)           # panel buttons 0, 1 and 2 (left of the caption text)
FINISH_BUTTON = (156, 401)         # panel button 3 (left of the caption text)
FLAG = {"de": (249, 280), "en": (305, 280)}
# The heading line of the page panels and the offline message.
HEADING_BOX = (36, 100, 536, 138)
OFFLINE_BOX = (18, 421, 537, 474)

BUTTON_FACE = (212, 208, 200)
# Longer than a double click lasts (500 ms on Windows, 400 ms in Qt): two
# clicks on one control this far apart are two clicks.
DOUBLE_CLICK_PAUSE = 0.6
WHITE = (255, 255, 255)


class Image:
    """A screenshot as raw RGB (read from a PPM)."""

    def __init__(self, width, height, pixels):
        self.width, self.height, self.pixels = width, height, pixels

    def at(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            return None
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def crop_key(self, box):
        x0, y0, x1, y1 = box
        rows = []
        for y in range(max(0, y0), min(self.height, y1)):
            i = (y * self.width + max(0, x0)) * 3
            rows.append(self.pixels[i:i + (min(self.width, x1) - max(0, x0)) * 3])
        return b"".join(rows)


def parse_ppm(data):
    # P6 header: magic, width, height, maxval, each separated by whitespace.
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    if fields[0] != b"P6":
        raise ValueError("not a binary PPM")
    width, height = int(fields[1]), int(fields[2])
    return Image(width, height, data[pos + 1:pos + 1 + width * height * 3])


def near(colour, expected, tolerance=12):
    return colour is not None and all(abs(a - b) <= tolerance for a, b in zip(colour, expected))


def bgr(value):
    """A catalogue colour 0x00BBGGRR as an (r, g, b) tuple."""
    return (value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF)


class Desktop:
    def __init__(self, env=None):
        self.env = dict(env or os.environ)

    def run(self, *args, check=True, timeout=20):
        return subprocess.run(args, env=self.env, check=check, timeout=timeout, capture_output=True)

    def screenshot(self, png_path=None):
        ppm = self.run("import", "-silent", "-window", "root", "-depth", "8", "ppm:-").stdout
        if png_path:
            subprocess.run(["convert", "ppm:-", png_path], input=ppm, check=True, timeout=20)
        return parse_ppm(ppm)

    def windows(self, name):
        out = self.run("xdotool", "search", "--onlyvisible", "--name", name, check=False).stdout.decode()
        return [w for w in out.split() if w]

    def geometry(self, wid):
        out = self.run("xdotool", "getwindowgeometry", "--shell", wid).stdout.decode()
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])

    def pointer(self):
        out = self.run("xdotool", "getmouselocation", "--shell").stdout.decode()
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values.get("X", -1)), int(values.get("Y", -1))

    def press(self, wid, key):
        # windowfocus, not windowactivate: the private display has no window manager.
        self.run("xdotool", "windowfocus", "--sync", wid, check=False)
        self.run("xdotool", "key", "--clearmodifiers", key, check=False)

    def message_boxes(self):
        return self.windows("^" + MESSAGE_TITLE + "$")


class ClientWindow:
    """The client's window on the desktop, addressed in client-area pixels."""

    def __init__(self, desktop, colours, timeout=30, button_face=BUTTON_FACE, text_tolerance=0.025):
        self.desktop = desktop
        self.colours = colours
        # The system's button face: panel buttons and their captions show it.
        self.button_face = button_face
        # How far a caption's ink width may fall from the font's own metrics,
        # as a fraction of it (hinted glyphs run narrower).
        self.text_tolerance = text_tolerance
        deadline = time.time() + timeout
        while True:
            found = desktop.windows("^" + TITLE + "$")
            if found:
                self.wid = found[0]
                break
            if time.time() > deadline:
                raise TimeoutError("the window '%s' did not appear" % TITLE)
            time.sleep(0.2)
        self.origin = desktop.geometry(self.wid)[:2]

    def point(self, image, xy):
        return image.at(self.origin[0] + xy[0], self.origin[1] + xy[1])

    def box(self, box):
        x0, y0, x1, y1 = box
        return (self.origin[0] + x0, self.origin[1] + y0, self.origin[0] + x1, self.origin[1] + y1)

    def move(self, xy):
        # Not "mousemove --sync": it can wait forever for a motion event when
        # the pointer already stands there. The pointer's place is asked instead.
        x, y = self.origin[0] + xy[0], self.origin[1] + xy[1]
        self.desktop.run("xdotool", "mousemove", str(x), str(y))
        wait_for(lambda: self.desktop.pointer() == (x, y), 20, "the pointer to reach %d,%d" % (x, y), 0.05)

    def click(self, xy):
        self.move(xy)
        time.sleep(0.1)
        self.desktop.run("xdotool", "click", "1")

    def is_open(self):
        return bool(self.desktop.windows("^" + TITLE + "$"))

    def panel(self, image):
        """'language', 'folder', 'package', 'finish' or 'header' (between steps)."""
        head = bgr(self.colours["col_head"])
        lists = bgr(self.colours["col_list"])
        if near(self.point(image, HEADER_POINT), WHITE) and not near(head, WHITE):
            return "language"
        button = near(self.point(image, PAGE_BUTTON), self.button_face)
        if button and near(self.point(image, LIST2_ONLY), lists) and not near(head, lists):
            return "folder"
        if button and near(self.point(image, LIST3_ONLY), lists):
            return "package"
        if near(self.point(image, FINISH_BUTTON), self.button_face):
            return "finish"
        return "header"

    def heading(self, image):
        """The pixels of the page heading, to tell install from update."""
        return image.crop_key(self.box(HEADING_BOX))

    def ink_width(self, image, box, ink):
        """Width of the run of pixels near `ink` inside `box` (0 without ink)."""
        x0, y0, x1, y1 = self.box(box)
        xs = [x for y in range(y0, y1) for x in range(x0, x1) if near(image.at(x, y), ink, 60)]
        return (max(xs) - min(xs) + 1) if xs else 0

    def offline_message_shown(self, image):
        return self.ink_width(image, OFFLINE_BOX, (255, 0, 0)) > 100


def text_width(text, points=15.75, bold=True):
    """Ink width in pixels of `text` in Liberation Sans at 96 dpi."""
    font = "Liberation-Sans-Bold" if bold else "Liberation-Sans"
    out = subprocess.run(["convert", "-font", font, "-pointsize", str(points * 96 / 72), "label:" + text,
                          "-trim", "-format", "%w", "info:"], capture_output=True, check=True, timeout=20)
    return int(out.stdout.decode().strip() or 0)


def wait_for(condition, timeout, what, interval=0.25):
    deadline = time.time() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.time() > deadline:
            raise TimeoutError("waited %d s for %s" % (timeout, what))
        time.sleep(interval)
