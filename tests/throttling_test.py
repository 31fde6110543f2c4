"""End-to-end runs: targets throttled by the program until it is interrupted."""
import time
import unittest

import harness
from harness import Target, Tool


def running(pid):
    return f"Running for ID {pid}.\n"


def throttling(pid):
    return f"Process ID {pid} is throttling.\n"


def resuming(pid):
    return f"Process ID {pid} is resuming.\n"


def cannot_open(pid):
    return f"Cannot open process with ID {pid}.\n"


def stalls(ticks, longer_than=0.2):
    """The pauses in a target's progress: (start, length) of every gap between ticks."""
    return [(a, b - a) for a, b in zip(ticks, ticks[1:]) if b - a > longer_than]


class ThrottlingTest(unittest.TestCase):
    def setUp(self):
        self.build = harness.BUILD
        self.processes = []

    def tearDown(self):
        for process in self.processes:
            if isinstance(process, Tool):
                process.kill()
            else:
                process.end()

    def targets(self, count):
        started = [Target(self.build) for _ in range(count)]
        self.processes.extend(started)
        return started

    def tool(self, *args):
        tool = Tool(self.build, args)
        self.processes.insert(0, tool)
        return tool

    def throttling_tool(self, percent, *targets):
        """Starts the program on the targets and waits until every worker has begun to cycle."""
        pids = [target.pid for target in targets]
        tool = self.tool("/C", percent, "/T", *pids)
        for pid in set(pids):
            tool.wait_for_line(throttling(pid), count=pids.count(pid))
        return tool

    def dead_pid(self):
        """The id of a process that has ended and been reaped."""
        target, = self.targets(1)
        target.end()
        return target.pid

    def assert_all_ticking(self, targets):
        for target in targets:
            self.assertTrue(target.is_ticking(), f"target {target.pid} is left standing still")

    def test_scenarios(self):
        for scenario in (self.two_ids, self.missing_second_id, self.first_target_ended,
                         self.id_listed_twice, self.no_ids, self.interrupt_while_suspended,
                         self.interrupt_twice):
            with self.subTest(scenario.__name__):
                self.setUp()
                try:
                    scenario()
                finally:
                    self.tearDown()

    def two_ids(self):
        a, b = self.targets(2)
        tool = self.throttling_tool(30, a, b)
        tool.send()
        code, out, err = tool.finish()
        self.assertEqual((code, err), (0, ""))
        lines = out.splitlines(keepends=True)
        self.assertEqual(sorted(lines), sorted([running(a.pid), running(b.pid), throttling(a.pid),
                                                throttling(b.pid), resuming(a.pid), resuming(b.pid)]))
        self.assertLess(lines.index(running(a.pid)), lines.index(running(b.pid)))
        self.assertEqual(lines[-2:], [resuming(a.pid), resuming(b.pid)])
        self.assert_all_ticking([a, b])

    def missing_second_id(self):
        a, = self.targets(1)
        gone = self.dead_pid()
        code, out, err = self.tool("/C", 20, "/T", a.pid, gone).finish()
        self.assertEqual((code, err), (1, cannot_open(gone)))
        self.assertTrue(out.startswith(running(a.pid)), out)
        self.assertNotIn("resuming", out)
        self.assert_all_ticking([a])

    def first_target_ended(self):
        a, b = self.targets(2)
        tool = self.throttling_tool(40, a, b)
        a.end()
        tool.send()
        code, out, err = tool.finish()
        self.assertEqual((code, err), (0, cannot_open(a.pid)))
        self.assertNotIn("resuming", out)
        self.assert_all_ticking([b])

    def id_listed_twice(self):
        a, = self.targets(1)
        tool = self.throttling_tool(50, a, a)
        tool.send()
        code, out, err = tool.finish()
        self.assertEqual((code, err), (0, ""))
        self.assertEqual(sorted(out.splitlines(keepends=True)),
                         sorted([running(a.pid), throttling(a.pid), resuming(a.pid)] * 2))
        self.assertEqual(out.splitlines(keepends=True)[-2:], [resuming(a.pid)] * 2)
        self.assert_all_ticking([a])

    def no_ids(self):
        tool = self.tool("/C", 50)
        tool.wait_until_listening()
        self.assertIsNone(tool.process.poll())
        tool.send()
        self.assertEqual(tool.finish(), (0, "", ""))

    def interrupt_while_suspended(self):
        """At 1% the interrupt nearly always comes in a suspended phase, which it cuts short."""
        a, b = self.targets(2)
        tool = self.throttling_tool(1, a, b, a)
        harness.wait_until(lambda: stalls(a.ticks()) or not a.is_ticking(0.3), 30, "a pause")
        tool.send()
        code, out, err = tool.finish()
        self.assertEqual((code, err), (0, ""))
        self.assertEqual(out.splitlines(keepends=True)[-3:],
                         [resuming(a.pid), resuming(b.pid), resuming(a.pid)])
        self.assert_all_ticking([a, b])

    def interrupt_twice(self):
        """An impatient second Ctrl+C does not cut the resume pass short."""
        a, b = self.targets(2)
        tool = self.throttling_tool(5, a, b)
        tool.send()
        time.sleep(0.05)
        tool.send()
        code, out, err = tool.finish()
        self.assertEqual((code, err), (0, ""))
        self.assertEqual(out.splitlines(keepends=True)[-2:], [resuming(a.pid), resuming(b.pid)])
        self.assert_all_ticking([a, b])

    def test_cycle_at_half(self):
        """At 50% the target stands still first, then alternates in phases of about 500 ms."""
        target, = self.targets(1)
        tool = self.throttling_tool(50, target)
        announced = tool.out.chunks[-1][0]
        harness.wait_until(lambda: len(stalls(target.ticks())) >= 4, 30, "four pauses")
        tool.send()
        self.assertEqual(tool.finish()[0], 0)

        pauses = [(start, length) for start, length in stalls(target.ticks())
                  if start > announced - 0.2]
        self.assertLess(pauses[0][0] - announced, 0.3, "the cycle does not begin with a pause")
        for start, length in pauses[:4]:
            self.assertTrue(0.3 < length < 0.8, f"pause of {length:.3f} s")
        for (start, length), (next_start, _) in zip(pauses[:4], pauses[1:4]):
            self.assertTrue(0.3 < next_start - (start + length) < 0.8,
                            f"run of {next_start - start - length:.3f} s")
        self.assertTrue(target.is_ticking())


if __name__ == "__main__":
    harness.main()
