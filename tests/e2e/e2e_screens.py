"""What the test expects to see: its own captions (of clearly different
lengths, so a caption in the wrong place shows in its width), where they
stand in the window, and which page the screen shows."""

import json
import os
import subprocess

from e2e_support import Failure, sample_packages, su

# German, the flag the test clicks. Widths differ by far more than the
# tolerance, and "ß" goes through the server's text encoding.
CAPTIONS = {
    "lab6_0": "Testlauf", "lab6_1": "Ordner", "lab6_2": "Zu installierende Programmdateien",
    "lab6_3": "Update", "lab6_4": "Fertig, alles ist aktuell", "com6_1": "Anlegen",
    "com6_2": "Jetzt alle installieren", "com6_3": "Los", "com6_4": "Schließen und starten",
}
# Client-area boxes (pixels) around a caption and clear of other ink.
TITLE_BOX = (8, 8, 480, 60)          # Label6(0) in the header strip, left of the logo
HEADING_BOX = su.HEADING_BOX         # Label6(1) to Label6(4)
PAGE_BUTTON_BOX = (263, 451, 517, 481)
FINISH_BUTTON_BOX = (151, 386, 405, 416)
LANGUAGE_TITLE_BOX = (10, 140, 545, 192)
LANGUAGE_PROMPT_BOX = (10, 322, 545, 362)
# The toolkit's hinted glyphs run 1 to 2 % narrower than ImageMagick's
# (the window may allow more: ClientWindow.text_tolerance).
def tolerance(width, fraction=0.025):
    return 3 + width * fraction

HEADING = (15.75, True)
BUTTON = (12, False)


def use_test_captions(published):
    """Replaces the German captions of a published catalogue."""
    path = os.path.join(published, "catalogue.json")
    with open(path, encoding="utf-8") as f:
        catalogue = json.load(f)
    catalogue["captions"]["de"].update(CAPTIONS)
    with open(path, "w", encoding="utf-8") as f:
        json.dump(catalogue, f, indent=2, ensure_ascii=False)


def _distance(a, b):
    return sum(abs(x - y) for x, y in zip(a, b))


def ink_width(window, image, box, background, ink):
    """Width of the caption's ink in box: pixels at least a third of the way
    from the background to the ink colour (anti-aliased edges included)."""
    x0, y0, x1, y1 = window.box(box)
    threshold = _distance(background, ink) / 3
    xs = [x for y in range(y0, y1) for x in range(x0, x1)
          if (p := image.at(x, y)) is not None and _distance(p, background) >= threshold
          and _distance(p, ink) < _distance(p, background) + threshold]
    return (max(xs) - min(xs) + 1) if xs else 0


_rendered = {}


def rendered_width(text, size):
    if (text, size) not in _rendered:
        _rendered[(text, size)] = su.text_width(text, size[0], size[1])
    return _rendered[(text, size)]


def text_matches(window, image, box, text, size, background, ink):
    measured = ink_width(window, image, box, background, ink)
    expected = rendered_width(text, size)
    return abs(measured - expected) <= tolerance(expected, window.text_tolerance), measured


def check_text(window, image, box, text, size, background, ink, where):
    ok, measured = text_matches(window, image, box, text, size, background, ink)
    if not ok:
        raise Failure("%s: %r should be %d px wide, the screen shows %d px of ink"
                      % (where, text, rendered_width(text, size), measured))


def _caption_colours(window, size):
    if size == BUTTON:
        return window.button_face, (0, 0, 0)
    return su.bgr(sample_packages.COLOURS["col_head"]), su.bgr(sample_packages.COLOURS["col_thead"])


def caption_matches(window, image, box, key, size):
    return text_matches(window, image, box, CAPTIONS[key], size, *_caption_colours(window, size))


def check_caption(window, image, box, key, size, where):
    check_text(window, image, box, CAPTIONS[key], size, *_caption_colours(window, size), where + " (" + key + ")")


def check_language_panel(window, image):
    """The title and the prompt the window sets itself at start-up."""
    check_text(window, image, LANGUAGE_TITLE_BOX, "QOR synchro center", HEADING, su.WHITE, (0, 0, 0),
               "language panel title")
    check_text(window, image, LANGUAGE_PROMPT_BOX, "Sprache wählen / Choose language", BUTTON, su.WHITE, (0, 0, 0),
               "language panel prompt")


def page(window, image):
    """'language', 'folder', 'install', 'update', 'package' (heading not
    recognised), 'finish' or 'header' (between steps)."""
    panel = window.panel(image)
    if panel != "package":
        return panel
    if caption_matches(window, image, HEADING_BOX, "lab6_2", HEADING)[0]:
        return "install"
    if caption_matches(window, image, HEADING_BOX, "lab6_3", HEADING)[0]:
        return "update"
    return "package"


class PageWatch:
    """Polls the screen and records every page seen, in order."""

    def __init__(self, scenario, window):
        self.scenario, self.window, self.seen = scenario, window, []

    def current(self):
        now = page(self.window, self.scenario.screen())
        if not self.seen or self.seen[-1] != now:
            self.seen.append(now)
        return now

    def pages(self):
        """The pages seen, without the moments between steps: the header
        strip alone, or the package panel while its heading is repainted
        (a heading that stays wrong fails the caption check instead)."""
        out = []
        for p in self.seen:
            if p not in ("header", "package") and (not out or out[-1] != p):
                out.append(p)
        return out


def _default_font_file():
    # Message boxes use the toolkit's default font: fontconfig's sans-serif.
    out = subprocess.run(["fc-match", "-f", "%{file}", "sans-serif"], capture_output=True, text=True, timeout=20)
    return out.stdout.strip()


def message_width(text, font=None):
    """Ink width of a message box text in the default font, 9 pt at 96 dpi,
    or in `font` (name, pixel size): the message font of the system the
    client runs on."""
    key = (text, "message", font)
    if key not in _rendered:
        name, size = font or (_default_font_file(), 12)
        out = subprocess.run(["convert", "-font", name, "-pointsize", str(size), "label:" + text,
                              "-trim", "-format", "%w", "info:"], capture_output=True, check=True, timeout=20)
        _rendered[key] = int(out.stdout.decode().strip() or 0)
    return _rendered[key]


def message_text_ink(image, geometry):
    """Width of the first line of dark ink in a message box (its text; the
    button lies below it). Bands a few rows apart (accents) count as one."""
    x, y, w, h = geometry
    dark = lambda p: p is not None and max(p) < 110
    band, gap = None, 0
    for row in range(y, y + h):
        xs = [col for col in range(x, x + w) if dark(image.at(col, row))]
        if xs:
            band = [min(xs), max(xs)] if band is None else [min(band[0], *xs), max(band[1], *xs)]
            gap = 0
        elif band is not None:
            gap += 1
            if gap > 3:
                break
    return band[1] - band[0] + 1 if band else 0
