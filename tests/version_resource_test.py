"""The program's version resource, read back with wrestool, names the product, its description
and the project's version, in a form that Windows shows in the file's properties.

Usage: version_resource_test.py PROGRAM --version X.Y.Z --description TEXT
"""
import argparse
import struct
import subprocess
import sys
import unittest

OPTIONS = None


def align(offset):
    return (offset + 3) & ~3


def parse_node(data, offset):
    """One node of the resource's tree: (key, value, children), where a text value is a str."""
    length, value_length, kind = struct.unpack_from("<HHH", data, offset)
    end = offset + length
    key_end = offset + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[offset + 6:key_end].decode("utf-16-le")
    position = align(key_end + 2)
    # Text values count their length in characters (with the closing null), others in bytes.
    size = value_length * 2 if kind == 1 else value_length
    value = data[position:position + size]
    if kind == 1:
        value = value.decode("utf-16-le").rstrip("\0")
    position = align(position + size)
    children = []
    while position < end:
        child, position = parse_node(data, position)
        children.append(child)
        position = align(position)
    return (key, value, children), end


class VersionResourceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        raw = subprocess.run(["wrestool", "-x", "--raw", "--type=16", OPTIONS.program],
                             check=True, capture_output=True).stdout
        cls.root, _ = parse_node(raw, 0)

    def child(self, node, key):
        found = [child for child in node[2] if child[0] == key]
        self.assertEqual(len(found), 1, f"{key!r} among {[child[0] for child in node[2]]}")
        return found[0]

    def test_fixed_version_numbers(self):
        key, fixed, _ = self.root
        self.assertEqual(key, "VS_VERSION_INFO")
        signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
        self.assertEqual(signature, 0xFEEF04BD)
        major, minor, patch = (int(part) for part in OPTIONS.version.split("."))
        expected = (major << 16 | minor, patch << 16)
        self.assertEqual((file_ms, file_ls), expected)
        self.assertEqual((product_ms, product_ls), expected)

    def test_strings(self):
        tables = self.child(self.root, "StringFileInfo")[2]
        self.assertEqual([table[0] for table in tables], ["040904B0"])
        strings = {key: value for key, value, _ in tables[0][2]}
        expected = {
            "ProductName": "Tarnwick",
            "FileDescription": OPTIONS.description,
            "FileVersion": OPTIONS.version + ".0",
            "ProductVersion": OPTIONS.version + ".0",
            "OriginalFilename": "Tarnwick.exe",
        }
        for key, value in expected.items():
            with self.subTest(key=key):
                self.assertEqual(strings.get(key), value)

    def test_translation_names_the_string_table(self):
        # Windows finds the strings through this pair: language 0x0409, code page 1200 (UTF-16).
        translation = self.child(self.child(self.root, "VarFileInfo"), "Translation")[1]
        self.assertEqual(struct.unpack("<HH", translation), (0x0409, 1200))


def main():
    global OPTIONS
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("--version", required=True)
    parser.add_argument("--description", required=True)
    OPTIONS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    main()
