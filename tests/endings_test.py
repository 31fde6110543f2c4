"""However the program ends, it leaves none of its targets stopped (Linux build).

Each run ends the program with a random choice of Ctrl+C, SIGTERM, SIGHUP and SIGKILL, at a
random moment, with several targets at an assorted percentage. Some runs end at a failed probe
instead. After each run, no target may be in the stopped state.
"""
import os
import pwd
import random
import shutil
import signal
import subprocess
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


def tasks_of(uid):
    """How many processes and threads the user has now."""
    count = 0
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                if os.stat(f"/proc/{entry}").st_uid == uid:
                    count += len(os.listdir(f"/proc/{entry}/task"))
            except FileNotFoundError:
                pass
    return count


class WorkerCannotStartTest(unittest.TestCase):
    def test_second_worker_fails_to_start(self):
        """When the system refuses a thread, the run ends with exit code 1, and the worker that
        did start releases its process first."""
        if os.geteuid() != 0 or not (shutil.which("setpriv") and shutil.which("prlimit")):
            self.skipTest("needs root, setpriv and prlimit to limit another user's threads")
        if "ASAN_OPTIONS" in os.environ or "TSAN_OPTIONS" in os.environ:
            self.skipTest("the sanitizers' runtimes need threads of their own beyond the limit")
        nobody = pwd.getpwnam("nobody")
        as_nobody = ["setpriv", f"--reuid={nobody.pw_uid}", f"--regid={nobody.pw_gid}",
                     "--clear-groups"]
        targets = [subprocess.Popen(as_nobody + [harness.BUILD.target, "idle"],
                                    stdout=subprocess.PIPE) for _ in range(2)]
        try:
            pids = [int(t.stdout.readline()) for t in targets]
            # Room for the program, its guard and one worker, but not a second worker.
            limit = tasks_of(nobody.pw_uid) + 3
            done = subprocess.run(["prlimit", f"--nproc={limit}"] + as_nobody +
                                  [harness.BUILD.program, "/C", "5", "/T", *map(str, pids)],
                                  capture_output=True, timeout=60)
            self.assertEqual(done.returncode, 1, done)
            self.assertEqual(done.stderr,
                             f"Cannot start throttling process with ID {pids[1]}.\n".encode())
            self.assertTrue(done.stdout.startswith(f"Running for ID {pids[0]}.\n".encode()))
            self.assertEqual([state(pid) for pid in pids], ["S", "S"])
        finally:
            for target in targets:
                target.kill()
                target.wait()
                target.stdout.close()


if __name__ == "__main__":
    harness.main()
