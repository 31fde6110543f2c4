// How command lines are read into settings, and which exit code ends the others.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/command_line.h"

namespace {

struct CommandLineCase {
    std::vector<std::string> arguments;  // after the program's own path
    std::optional<int> exitCode;         // nothing: the settings below are read
    std::int32_t percent = 100;
    std::vector<std::int32_t> pids;
};

CommandLineCase Ends(std::vector<std::string> arguments, int exitCode) {
    return {std::move(arguments), exitCode, 100, {}};
}

CommandLineCase Reads(std::vector<std::string> arguments, std::int32_t percent,
                      std::vector<std::int32_t> pids) {
    return {std::move(arguments), std::nullopt, percent, std::move(pids)};
}

void PrintTo(const CommandLineCase& tested, std::ostream* out) {
    for (const std::string& argument : tested.arguments) *out << '[' << argument << ']';
}

class ParseCommandLineTest : public testing::TestWithParam<CommandLineCase> {};

TEST_P(ParseCommandLineTest, ReadsSettingsOrEnds) {
    const CommandLineCase& tested = GetParam();
    std::vector<const char*> argv{"tarnwick"};
    for (const std::string& argument : tested.arguments) argv.push_back(argument.c_str());

    ThrottleSettings settings;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const std::optional<int> exitCode =
        ParseCommandLine(static_cast<int>(argv.size()), argv.data(), settings);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(exitCode, tested.exitCode);
    if (!tested.exitCode) {
        EXPECT_EQ(settings.percent, tested.percent);
        EXPECT_EQ(settings.pids, tested.pids);
        EXPECT_EQ(out + err, "");
    } else if (*tested.exitCode == kExitHelp) {
        EXPECT_EQ(err, "");
        EXPECT_EQ(out.rfind("Tarnwick.exe\n", 0), 0U);
    } else {
        EXPECT_EQ(out, "");
        EXPECT_EQ(err, "Invalid parameter.\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseCommandLineTest,
    testing::Values(
        Ends({}, kExitHelp),
        Ends({"-?"}, kExitHelp),
        Ends({"/?", "/T", "1"}, kExitHelp),
        Ends({"/T", "12", "/?"}, kExitBadSwitch),
        Reads({"-c", "30", "-t", "516"}, 30, {516}),
        Reads({"/C", "30", "/T", "516"}, 30, {516}),
        Ends({"/C", "30", "40"}, kExitStrayValue),
        Reads({"/T", "10", "20", "30"}, 100, {10, 20, 30}),
        Reads({"/T", "10", "/T", "20"}, 100, {10, 20}),
        Ends({"/T", "10", "/C", "30", "20"}, kExitStrayValue),
        Reads({"/C", "30", "/T", "10", "/C", "40"}, 40, {10}),
        Reads({"/C50", "/T", "10"}, 100, {10}),
        Reads({"/Throttle", "7", "/Cap", "20"}, 20, {7}),
        Reads({"/C"}, 100, {}),
        Reads({"/T"}, 100, {}),
        Reads({"/T", "10", "10"}, 100, {10, 10}),
        Ends({"/T", "-5"}, kExitBadSwitch),
        Ends({"/"}, kExitBadSwitch),
        Ends({"-"}, kExitBadSwitch),
        Ends({"/X", "/C", "0"}, kExitBadSwitch),
        Ends({"5"}, kExitStrayValue),
        // The first invalid argument ends the reading, before the percentage is checked.
        Ends({"/C", "0", "/Q"}, kExitBadSwitch),
        Ends({"/C", "500", "/T", "1", "/C", "20", "9"}, kExitStrayValue),
        // The percentage must lie within 1 to 100 once the whole line has been read.
        Ends({"/C", "0", "/T", "1"}, kExitBadPercent),
        Ends({"/C", "101"}, kExitBadPercent),
        Ends({"/C", "abc"}, kExitBadPercent),
        Ends({"/C", " -5"}, kExitBadPercent),
        Ends({"/C", "99999999999"}, kExitBadPercent),
        Reads({"/C", "1", "/T", "1"}, 1, {1}),
        Reads({"/C", "100"}, 100, {}),
        Reads({"/C", "0", "/C", "75"}, 75, {}),
        // Process ids are converted but not judged here.
        Reads({"/T", "abc", " -5", "99999999999", "+12x"}, 100, {0, -5, INT32_MAX, 12})));

struct NumberCase {
    const char* text;
    std::int32_t value;
};

TEST(ConvertNumberTest, FollowsAtoiAndSaturates) {
    const NumberCase cases[] = {
        {"", 0},          {"abc", 0},           {"42", 42},
        {"  \t\n42", 42}, {"+7", 7},            {"-7", -7},
        {"12abc", 12},    {"0x10", 0},          {"- 5", 0},
        {"2147483647", INT32_MAX},   {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN},  {"-2147483649", INT32_MIN},
        {"99999999999999999999999999", INT32_MAX},
        {"-99999999999999999999999999", INT32_MIN},
        {"000000000000000000000000042", 42},
    };
    for (const NumberCase& tested : cases) {
        EXPECT_EQ(ConvertNumber(tested.text), tested.value) << '"' << tested.text << '"';
    }
}

}  // namespace
