"""What the test expects to see: its own captions (of clearly different
lengths, so a caption in the wrong place shows in its width), where they
stand in the window, and which page the screen shows."""

import json
import os

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
# The toolkit's hinted glyphs run 1 to 2 % narrower than ImageMagick's.
def tolerance(width):
    return 3 + width * 0.025

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


def caption_matches(window, image, box, key, size):
    background = su.BUTTON_FACE if size == BUTTON else su.bgr(sample_packages.COLOURS["col_head"])
    ink = (0, 0, 0) if size == BUTTON else su.bgr(sample_packages.COLOURS["col_thead"])
    measured = ink_width(window, image, box, background, ink)
    expected = rendered_width(CAPTIONS[key], size)
    return abs(measured - expected) <= tolerance(expected), measured


def check_caption(window, image, box, key, size, where):
    ok, measured = caption_matches(window, image, box, key, size)
    if not ok:
        raise Failure("%s: caption %s %r should be %d px wide, the screen shows %d px of ink"
                      % (where, key, CAPTIONS[key], rendered_width(CAPTIONS[key], size), measured))


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
        """The pages seen, without the header strip shown between steps."""
        out = []
        for p in self.seen:
            if p != "header" and (not out or out[-1] != p):
                out.append(p)
        return out
