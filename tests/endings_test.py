"""However the program ends, it leaves none of its targets stopped (Linux build).

Each run ends the program with a random choice of Ctrl+C, SIGTERM, SIGHUP and SIGKILL, at a
random moment, with several targets at an assorted percentage. Some runs end at a failed probe
instead. After each run, no target may be in the stopped state.
"""
import os
import random
import signal
import time
import unittest

import harness
from harness import Target, Tool

RUNS = int(os.environ.get("TARNWICK_ENDING_RUNS", "36"))
ENDINGS = [signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGKILL]
PERCENTS = [1, 10, 30, 50, 75, 99, 100]


def state(pid):
    with open(f"/proc/{pid}/stat") as stat:
        return stat.read().rsplit(")", 1)[1].split()[0]


class EndingsTest(unittest.TestCase):
    def setUp(self):
        self.targets = [Target(harness.BUILD, "idle") for _ in range(3)]

    def tearDown(self):
        for target in self.targets:
            os.kill(target.pid, signal.SIGCONT)
            target.end()

    def stopped(self):
        return [t.pid for t in self.targets if state(t.pid) == "T"]

    def assert_none_stopped(self, settle, what):
        """Allows the guard a moment after an outright kill; then no target may be stopped."""
        deadline = time.monotonic() + settle
        while self.stopped() and time.monotonic() < deadline:
            time.sleep(0.01)
        self.assertEqual(self.stopped(), [], what)

    def test_random_endings(self):
        seed = int(os.environ.get("TARNWICK_ENDING_SEED", str(time.time_ns())))
        chooser = random.Random(seed)
        gone = Target(harness.BUILD, "idle")
        gone.end()
        for run in range(RUNS):
            ending = chooser.choice(ENDINGS + ["probe"])
            percent = chooser.choice(PERCENTS)
            pids = [t.pid for t in chooser.choices(self.targets, k=chooser.randint(2, 4))]
            what = f"seed {seed}, run {run}: {ending} at /C {percent} /T {pids}"
            with self.subTest(what):
                if ending == "probe":
                    # Workers for the first ids have started when the last id fails its probe.
                    code, _, err = Tool(harness.BUILD, ["/C", percent, "/T", *pids, gone.pid]).finish()
                    self.assertEqual((code, err), (1, f"Cannot open process with ID {gone.pid}.\n"))
                    self.assert_none_stopped(0, what)
                    continue
                tool = Tool(harness.BUILD, ["/C", percent, "/T", *pids])
                for pid in pids:
                    tool.wait_for_line(f"Process ID {pid} is throttling.\n")
                time.sleep(chooser.uniform(0, 1.2))
                tool.send(ending)
                code, out, err = tool.finish()
                if ending == signal.SIGKILL:
                    self.assertEqual(code, -signal.SIGKILL)
                    self.assert_none_stopped(2, what)
                    continue
                self.assertEqual((code, err), (0, ""), what)
                self.assertTrue(out.endswith("".join(f"Process ID {pid} is resuming.\n"
                                                     for pid in pids)), out)
                self.assert_none_stopped(0, what)


if __name__ == "__main__":
    harness.main()
