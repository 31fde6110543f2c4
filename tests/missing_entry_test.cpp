// What the program does on a system without the native entry points it needs.
#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"
#include "app/controller.h"
#include "platform/platform.h"
#include "throttle/worker.h"

namespace {

TEST(MissingEntryTest, WorkerEndsWithoutTouchingItsProcess) {
    platform::testing::HideNtEntry("NtSuspendProcess");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ThrottleWorker(platform::CurrentProcessId(), 50);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Cannot import functions of NTDLL.DLL.\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(MissingEntryTest, RunEndsBeforeAnyProbe) {
    platform::testing::HideNtEntry("NtResumeProcess");
    ThrottleSettings settings;
    settings.pids = {platform::CurrentProcessId(), 0};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunThrottling(settings), kExitCannotStart);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Cannot import functions of NTDLL.DLL.\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

}  // namespace
