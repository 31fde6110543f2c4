"""Every command line gives exactly the expected exit code, standard output and error."""
import unittest

import harness

HELP = ("Tarnwick.exe\n"
        "Usage: Tarnwick.exe [<parameter>] [<value>]\n\n"
        "Throttles process(es) by percentage. Suspends and resumes processes for achieving this.\n"
        "Parameter:\n"
        "/C - throttling value from 1 to 100.\n"
        "/T - throttle process(es) PID(s).\n")
INVALID = "Invalid parameter.\n"

# (arguments, exit code, standard output, standard error)
CASES = [
    ([], 2, HELP, ""),
    (["-?"], 2, HELP, ""),
    (["/?"], 2, HELP, ""),
    (["/?", "/X"], 2, HELP, ""),
    (["/T", "12", "/?"], 3, "", INVALID),
    (["/C", "30", "40"], 4, "", INVALID),
    (["/T", "10", "/C", "30", "20"], 4, "", INVALID),
    (["/T", "-5"], 3, "", INVALID),
    (["/"], 3, "", INVALID),
    (["-x", "1"], 3, "", INVALID),
    (["77"], 4, "", INVALID),
    (["/C", "0"], 5, "", INVALID),
    (["/C", "101", "/T", "1"], 5, "", INVALID),
    (["/C", "abc"], 5, "", INVALID),
    (["/C", "99999999999"], 5, "", INVALID),
    # A stray value or a bad switch wins over a percentage out of range.
    (["/C", "0", "7", "/T"], 4, "", INVALID),
    (["/C", "500", "/Z"], 3, "", INVALID),
    # Lines that read well go on to the probe of their first process.
    (["-c", "30", "-t", "0"], 1, "", "Cannot open process with ID 0.\n"),
    (["/C50", "/Throttle", " -5", "1"], 1, "", "Cannot open process with ID -5.\n"),
    (["/T", "99999999999"], 1, "", "Cannot open process with ID 2147483647.\n"),
    (["/T", "abc"], 1, "", "Cannot open process with ID 0.\n"),
]


class CommandLineTest(unittest.TestCase):
    def test_table(self):
        for args, code, out, err in CASES:
            with self.subTest(args=args):
                self.assertEqual(harness.BUILD.run(args), (code, out, err))


if __name__ == "__main__":
    harness.main()
