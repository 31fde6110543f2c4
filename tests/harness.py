"""Starts the program under test and its target processes, on either build.

The Windows build runs under Wine. Its output to a pipe has CRLF line ends; that is the one
difference the suites allow for, so every '\\n' it writes must come as '\\r\\n'.
"""
import argparse
import os
import re
import signal
import subprocess
import sys
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
WINE_RUN = os.path.join(HERE, os.pardir, "tools", "wine-run")


class Build:
    """Where the programs of one build are, and how to start them."""

    def __init__(self, program, target, wine_prefix=None):
        self.program = program
        self.target = target
        self.wine_prefix = wine_prefix

    @property
    def is_windows(self):
        return self.wine_prefix is not None

    def command(self, executable, args):
        if self.is_windows:
            return [WINE_RUN, self.wine_prefix, executable, *args]
        return [executable, *args]

    def text(self, raw):
        """Decodes output, taking back the CRLF line ends of the Windows build (and only those)."""
        text = raw.decode("ascii")
        if self.is_windows:
            lone = re.search(r"(?<!\r)\n|\r(?!\n)", text)
            assert lone is None, f"line end other than CRLF in {text!r}"
            return text.replace("\r\n", "\n")
        assert "\r" not in text, f"carriage return in {text!r}"
        return text

    def run(self, args, timeout=60):
        """Runs the program to its end; returns its exit code, standard output and error."""
        done = subprocess.run(self.command(self.program, args), stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=timeout)
        return done.returncode, self.text(done.stdout), self.text(done.stderr)


BUILD = None


def main():
    """Reads the build's programs from the command line, then runs the suite's tests."""
    global BUILD
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--target", required=True)
    parser.add_argument("--wine-prefix")
    known, rest = parser.parse_known_args()
    BUILD = Build(os.path.abspath(known.program), os.path.abspath(known.target), known.wine_prefix)
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


def wait_until(condition, timeout, what):
    """Polls until condition() is true; fails with what when the timeout passes first."""
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out waiting for {what}")
        time.sleep(0.01)


class Stream:
    """Collects a pipe's bytes on a thread of its own, with the time at which each chunk came."""

    def __init__(self, pipe):
        self.chunks = []
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self._read, args=(pipe,), daemon=True)
        self.thread.start()

    def _read(self, pipe):
        while True:
            try:
                chunk = os.read(pipe.fileno(), 65536)
            except (OSError, ValueError):
                return  # the pipe was closed once its process had been ended
            if not chunk:
                return
            with self.lock:
                self.chunks.append((time.monotonic(), chunk))

    def data(self):
        with self.lock:
            return b"".join(chunk for _, chunk in self.chunks)

    def times_of(self, byte):
        """The arrival time of every occurrence of the given byte."""
        with self.lock:
            return [at for at, chunk in self.chunks for _ in range(chunk.count(byte))]


class Target:
    """A throttle_target process: 'idle', 'spin' or 'tick'. Knows the id it reported."""

    def __init__(self, build, mode="tick"):
        self.build = build
        self.process = subprocess.Popen(build.command(build.target, [mode]),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        self.output = Stream(self.process.stdout)
        wait_until(lambda: b"\n" in self.output.data(), 60, "the target's process id")
        self.pid = int(self.output.data().split(b"\n")[0])

    def ticks(self):
        return self.output.times_of(ord("."))

    def is_ticking(self, within=3.0):
        """True when the target makes progress within the given time."""
        start = len(self.ticks())
        deadline = time.monotonic() + within
        while time.monotonic() < deadline:
            if len(self.ticks()) > start + 2:
                return True
            time.sleep(0.02)
        return False

    def end(self):
        """Kills the target and reaps it, so that its id no longer names a process."""
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait(timeout=30)
        self.output.thread.join(timeout=10)
        self.process.stdout.close()


class Tool:
    """The program under test, running in the background."""

    def __init__(self, build, args):
        self.build = build
        self.process = subprocess.Popen(build.command(build.program, [str(a) for a in args]),
                                        stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE)
        self.out = Stream(self.process.stdout)
        self.err = Stream(self.process.stderr)

    def lines(self):
        return self.build.text(self.out.data()).splitlines(keepends=True)

    def wait_for_line(self, line, count=1, timeout=60):
        wait_until(lambda: self.lines().count(line) >= count or self.process.poll() is not None,
                   timeout, repr(line))
        assert self.lines().count(line) >= count, f"{line!r} missing from {self.lines()}"

    def wait_until_listening(self):
        """Waits until the program handles Ctrl+C, for runs that show nothing before it."""
        if self.build.is_windows:
            # Nothing outside Wine shows when the program has installed its handler.
            time.sleep(2)
            return
        def catches_interrupt():
            with open(f"/proc/{self.process.pid}/status") as status:
                caught = next(line for line in status if line.startswith("SigCgt:"))
            return int(caught.split()[1], 16) & (1 << (signal.SIGINT - 1))
        wait_until(catches_interrupt, 30, "the interrupt handler")

    def send(self, signum=signal.SIGINT):
        self.process.send_signal(signum)

    def finish(self, timeout=30):
        """Waits for the end; returns the exit code, standard output and standard error."""
        code = self.process.wait(timeout=timeout)
        self._close()
        return code, self.build.text(self.out.data()), self.build.text(self.err.data())

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=30)
        self._close()

    def _close(self):
        for stream, pipe in ((self.out, self.process.stdout), (self.err, self.process.stderr)):
            stream.thread.join(timeout=10)
            if not pipe.closed:
                pipe.close()
