"""Ids that must never lead to a stopped process: invalid ones, the program's own, another
user's, and an id that has been handed to a new process (Linux build)."""
import os
import pwd
import shutil
import signal
import subprocess
import sys
import time
import unittest

import harness
from harness import Target, Tool

HERE = os.path.dirname(os.path.abspath(__file__))


def cannot_open(pid):
    return f"Cannot open process with ID {pid}.\n"


def state(pid):
    with open(f"/proc/{pid}/stat") as stat:
        return stat.read().rsplit(")", 1)[1].split()[0]


class HostileIdsTest(unittest.TestCase):
    def test_refused_ids(self):
        build = harness.BUILD
        # (how the program is started, expected exit code and standard error)
        # The shell tells its id, then becomes the program with that id.
        own = subprocess.run(["sh", "-c", 'echo $$; exec "$0" /C 50 /T $$', build.program],
                             capture_output=True, timeout=30)
        pid = int(own.stdout.split(b"\n")[0])
        self.assertEqual((own.returncode, own.stdout, own.stderr),
                         (1, f"{pid}\n".encode(), cannot_open(pid).encode()))
        for value, printed in (("0", 0), (" -5", -5), ("99999999999", 2147483647),
                               ("-2147483649x", None), ("abc", 0)):
            with self.subTest(value=value):
                code, out, err = build.run(["/C", "50", "/T", value])
                if printed is None:  # starts with '-': a switch, not a value
                    self.assertEqual((code, out, err), (3, "", "Invalid parameter.\n"))
                else:
                    self.assertEqual((code, out, err), (1, "", cannot_open(printed)))

    def test_other_users_process(self):
        if os.geteuid() != 0 or shutil.which("setpriv") is None:
            self.skipTest("needs root and setpriv to run the program as another user")
        target = Target(harness.BUILD, "tick")
        try:
            nobody = pwd.getpwnam("nobody")
            done = subprocess.run(["setpriv", f"--reuid={nobody.pw_uid}", f"--regid={nobody.pw_gid}",
                                   "--clear-groups", harness.BUILD.program, "/C", "10", "/T",
                                   str(target.pid)], capture_output=True, timeout=30)
            self.assertEqual((done.returncode, done.stdout, done.stderr),
                             (1, b"", cannot_open(target.pid).encode()))
            self.assertTrue(target.is_ticking())
        finally:
            target.end()

    def test_reused_id(self):
        if os.geteuid() != 0 or shutil.which("unshare") is None:
            self.skipTest("needs root and unshare for a PID namespace of its own")
        probe = subprocess.run(["unshare", "--pid", "--fork", "--mount-proc", "true"],
                               capture_output=True)
        if probe.returncode != 0:
            self.skipTest(f"no PID namespace here: {probe.stderr.decode().strip()}")
        # The scenario runs inside the namespace, where ids are small and can be chosen.
        done = subprocess.run(["unshare", "--pid", "--fork", "--mount-proc", sys.executable,
                               os.path.abspath(__file__), "--program", harness.BUILD.program,
                               "--target", harness.BUILD.target, "ReusedIdScenario"],
                              capture_output=True, timeout=120)
        self.assertEqual(done.returncode, 0, done.stderr.decode())


class ReusedIdScenario(unittest.TestCase):
    """Inside a fresh PID namespace: a throttled target ends, its id goes to a newcomer, and the
    newcomer is never stopped while the program runs on."""

    def test_newcomer_is_never_stopped(self):
        if os.getpid() != 1:
            self.skipTest("runs only inside its own PID namespace")
        build = harness.BUILD
        first = Target(build, "idle")
        tool = Tool(build, ["/C", "10", "/T", first.pid])
        try:
            tool.wait_for_line(f"Process ID {first.pid} is throttling.\n")
            first.end()
            with open("/proc/sys/kernel/ns_last_pid", "w") as last:
                last.write(str(first.pid - 1))
            newcomer = Target(build, "tick")
            self.assertEqual(newcomer.pid, first.pid, "the id was not handed on")
            deadline = time.monotonic() + 3
            while time.monotonic() < deadline:
                self.assertNotEqual(state(newcomer.pid), "T", "the newcomer was stopped")
                time.sleep(0.005)
            self.assertIsNone(tool.process.poll())
            tool.send(signal.SIGINT)
            self.assertEqual(tool.finish()[0], 0)
            self.assertTrue(newcomer.is_ticking())
        finally:
            tool.kill()
            for target in (first, locals().get("newcomer")):
                if target is not None:
                    target.end()


if __name__ == "__main__":
    harness.main()
