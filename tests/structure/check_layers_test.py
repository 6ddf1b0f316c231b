#!/usr/bin/python3
"""tools/check_layers.py on small trees: it passes a sound shape and names a
circle, an implementation included from a step, and a source file left in
platform/."""
import os
import subprocess
import sys
import tempfile
import unittest

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "check_layers.py")


def tree(files):
    root = tempfile.mkdtemp()
    for path, includes in files.items():
        os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
        with open(os.path.join(root, path), "w") as f:
            f.writelines(f'#include "{i}"\n' for i in includes)
    return root


def check(root):
    run = subprocess.run([sys.executable, CHECK, root], capture_output=True, text=True)
    return run.returncode, run.stdout


SOUND = {
    "platform/file_system.hpp": ["portable/result/result.hpp"],
    "portable/result/result.hpp": [],
    "platform/linux/files/local.cpp": ["platform/file_system.hpp"],
    "window/form.hpp": ["platform/file_system.hpp"],
    "window/qt/view.cpp": ["window/form.hpp"],
    "ftp/ftp_steps.hpp": ["platform/file_system.hpp", "window/form.hpp"],
    "app/main.cpp": ["window/qt/view.cpp", "platform/linux/files/local.cpp"],
}


class CheckLayers(unittest.TestCase):
    def test_a_sound_shape_passes(self):
        status, out = check(tree(SOUND))
        self.assertEqual(status, 0, out)
        self.assertIn("no circle", out)

    def test_a_circle_between_folders_is_named_with_the_includes_that_make_it(self):
        files = dict(SOUND)
        files["platform/file_system.hpp"] = ["portable/result/result.hpp", "window/form.hpp"]
        status, out = check(tree(files))
        self.assertEqual(status, 1)
        self.assertIn("folders in a circle: platform, window", out)
        self.assertIn("window -> platform (window/form.hpp:1)", out)

    def test_a_step_or_the_model_including_an_implementation_fails(self):
        for source in ("ftp/ftp_steps.hpp", "window/form.hpp", "portable/result/result.hpp"):
            files = dict(SOUND)
            files[source] = ["platform/linux/files/local.cpp"]
            status, out = check(tree(files))
            self.assertEqual(status, 1, source)
            self.assertIn("must not include from platform/linux/files/", out)

    def test_the_publishing_tool_reads_files_as_the_client_does_but_has_no_window(self):
        files = dict(SOUND)
        files["publish/catalogue.cpp"] = ["platform/file_system.hpp", "portable/result/result.hpp"]
        status, out = check(tree(files))
        self.assertEqual(status, 0, out)
        for target in ("window/form.hpp", "window/qt/view.cpp", "platform/linux/files/local.cpp"):
            files["publish/catalogue.cpp"] = ["platform/file_system.hpp", target]
            status, out = check(tree(files))
            self.assertEqual(status, 1, target)
            self.assertIn("publish/catalogue.cpp:2: publish/ must not include from " + target.rsplit("/", 1)[0], out)

    def test_platform_holds_interfaces_only_and_includes_name_their_folder(self):
        files = dict(SOUND)
        files["platform/helper.cpp"] = []
        status, out = check(tree(files))
        self.assertEqual(status, 1)
        self.assertIn("platform/helper.cpp: only interfaces", out)
        files = dict(SOUND)
        files["window/other.hpp"] = []
        files["window/form.hpp"] = ["other.hpp"]
        status, out = check(tree(files))
        self.assertEqual(status, 1)
        self.assertIn('include "other.hpp" by its path from the root', out)


if __name__ == "__main__":
    unittest.main()
