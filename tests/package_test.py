"""The packages that CPack makes from a build tree hold what they should, and the program that
they install prints the help text exactly.

Usage: package_test.py --build-dir DIR --version X.Y.Z (deb | zip [--wine-prefix PREFIX])
The package is made afresh in a scratch folder, so the test needs nothing but a built tree.
"""
import argparse
import os
import stat
import subprocess
import sys
import tempfile
import unittest
import zipfile

import harness
from command_line_test import HELP

OPTIONS = None


def make_package(generator, into):
    """Runs CPack with the build tree's settings; returns the one package file that it made."""
    config = os.path.join(OPTIONS.build_dir, "CPackConfig.cmake")
    done = subprocess.run(["cpack", "-G", generator, "--config", config, "-B", into],
                          cwd=OPTIONS.build_dir, capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, f"cpack failed:\n{done.stdout}{done.stderr}"
    made = [name for name in os.listdir(into) if name.lower().endswith("." + generator.lower())]
    assert len(made) == 1, f"cpack made {made}"
    return os.path.join(into, made[0])


def files_under(root):
    """Every file below root, as paths relative to it."""
    return {os.path.relpath(os.path.join(folder, name), root)
            for folder, _, names in os.walk(root) for name in names}


class PackageTest(unittest.TestCase):
    generator = None

    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory(prefix="tarnwick-package-")
        cls.package = make_package(cls.generator, os.path.join(cls.scratch.name, "out"))
        cls.root = os.path.join(cls.scratch.name, "root")

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()


class DebTest(PackageTest):
    generator = "DEB"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        subprocess.run(["dpkg", "-x", cls.package, cls.root], check=True)

    def field(self, name):
        return subprocess.run(["dpkg-deb", "-f", self.package, name], check=True,
                              capture_output=True, text=True).stdout.strip()

    def test_control_fields(self):
        architecture = subprocess.run(["dpkg", "--print-architecture"], check=True,
                                      capture_output=True, text=True).stdout.strip()
        self.assertEqual(os.path.basename(self.package),
                         f"tarnwick_{OPTIONS.version}_{architecture}.deb")
        for name, expected in (("Package", "tarnwick"), ("Version", OPTIONS.version),
                               ("Architecture", architecture)):
            with self.subTest(field=name):
                self.assertEqual(self.field(name), expected)
        # The libraries that the program is linked with are named, so that apt brings them.
        depends = self.field("Depends")
        for library in ("libc6", "libstdc++6"):
            with self.subTest(depends=library):
                self.assertIn(library, depends)

    def test_installed_files(self):
        self.assertEqual(files_under(self.root), {
            "usr/bin/tarnwick",
            "usr/share/man/man1/tarnwick.1",
            "usr/share/doc/tarnwick/README.md",
            "usr/share/doc/tarnwick/LICENSE",
        })
        mode = os.stat(os.path.join(self.root, "usr/bin/tarnwick")).st_mode
        self.assertEqual(stat.S_IMODE(mode), 0o755)

    def test_installed_program_prints_help(self):
        program = harness.Build(os.path.join(self.root, "usr/bin/tarnwick"), None)
        self.assertEqual(program.run([]), (2, HELP, ""))


class ZipTest(PackageTest):
    generator = "ZIP"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        with zipfile.ZipFile(cls.package) as archive:
            cls.names = {name for name in archive.namelist() if not name.endswith("/")}
            archive.extractall(cls.root)

    def test_contents(self):
        folder = f"Tarnwick-{OPTIONS.version}-win64"
        self.assertEqual(os.path.basename(self.package), folder + ".zip")
        self.assertEqual(self.names, {f"{folder}/Tarnwick.exe", f"{folder}/README.md",
                                      f"{folder}/LICENSE"})

    def test_unpacked_program_prints_help(self):
        program = os.path.join(self.root, f"Tarnwick-{OPTIONS.version}-win64", "Tarnwick.exe")
        self.assertEqual(harness.Build(program, None, OPTIONS.wine_prefix).run([]), (2, HELP, ""))


def main():
    global OPTIONS
    parser = argparse.ArgumentParser()
    parser.add_argument("kind", choices=("deb", "zip"))
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--wine-prefix")
    OPTIONS, rest = parser.parse_known_args()
    OPTIONS.build_dir = os.path.abspath(OPTIONS.build_dir)
    suite = DebTest if OPTIONS.kind == "deb" else ZipTest
    unittest.main(argv=[sys.argv[0], *rest], defaultTest=suite.__name__, verbosity=2)


if __name__ == "__main__":
    main()
