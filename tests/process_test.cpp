#include "vtsupport/files/Process.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/FilesTestSupport.h"
#include "support/TestSupport.h"
#include "vtsupport/files/FileUtils.h"

#ifndef _WIN32
#include <errno.h>
#include <sys/wait.h>
#endif

namespace {

#ifdef _WIN32
const bool windowsLeg = true;
#else
const bool windowsLeg = false;
#endif

using Clock = std::chrono::steady_clock;

long long millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

using vttest::helperCommand;
using vttest::TemporaryFilesIn;

// Names in `dir` other than "." and "..".
std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> names;
    std::vector<std::string> result;
    FileUtils::listFiles((dir + vttest::separator() + "*").c_str(), names);
    for (const std::string& name : names) {
        const std::string base = FileUtils::baseName(name);
        if (base != "." && base != "..")
            result.push_back(base);
    }
    return result;
}

#ifndef _WIN32
// True when the process has a child that ended and was not waited for; polls
// while children are still running.
bool zombieChildAppears() {
    const Clock::time_point start = Clock::now();
    for (;;) {
        const pid_t child = waitpid(-1, nullptr, WNOHANG);
        if (child > 0)
            return true;
        if (child == -1 && errno == ECHILD)
            return false;
        if (millisecondsSince(start) > 3000)
            return true;
        sleepSeconds(0);
    }
}
#endif

TEST(RunCommand, ExitStatusAndStartErrors) {
    vttest::ScratchDir scratch;
    EXPECT_EQ(3ul, runCommand("exit 3"));
    EXPECT_EQ(0ul, runCommand("exit 0"));
    {
        vttest::ScopedEnv comspec("COMSPEC", nullptr);
        EXPECT_EQ(3ul, runCommand("exit 3")) << "the default interpreter";
    }
    {
        // Found on the program search path like any program at a line's start.
        vttest::ScopedEnv comspec("COMSPEC", windowsLeg ? "cmd.exe" : "sh");
        EXPECT_EQ(4ul, runCommand("exit 4"));
    }
    {
        vttest::ScopedEnv comspec("COMSPEC", scratch.file("missing-interpreter").c_str());
        EXPECT_EQ(2ul, runCommand("exit 3")) << "file not found";
    }
}

TEST(RunCommand, EmptyComspecIsUsedAsItIs) {
    if (windowsLeg)
        GTEST_SKIP() << "the C runtime cannot give COMSPEC an empty value at run time";
    vttest::ScopedEnv comspec("COMSPEC", "");
    const unsigned long status = runCommand("exit 3");
    EXPECT_NE(0ul, status) << "an empty COMSPEC is used as it is, and fails";
    EXPECT_NE(3ul, status);
}

TEST(RunCommand, CommandOutputStaysInItsHiddenConsole) {
    vttest::StdoutCapture out;
    EXPECT_EQ(0ul, runCommand("echo hidden"));
    EXPECT_EQ(0ul, runCommand(helperCommand("both")));
    EXPECT_EQ("", out.text());
}

TEST(RunCommandCapture, BothStreamsWithNewlinesAndNoFileLeft) {
    vttest::ScratchDir scratch;
    const TemporaryFilesIn temporaries(scratch.path());
    EXPECT_EQ("to stdout\nto stderr\n", runCommandCapture(helperCommand("both")));
    // cmd.exe's echo keeps the blanks before a redirection as part of its text.
    const std::string echoed = runCommandCapture("echo hello");
    EXPECT_EQ("hello", FileUtils::removeWhitespace(echoed));
    EXPECT_EQ(std::string::npos, echoed.find('\r')) << "line ends are \"\\n\" alone";
    EXPECT_EQ('\n', echoed.back());
    EXPECT_EQ("failing\n", runCommandCapture(helperCommand("fail"))) << "a failed command's output";
    EXPECT_EQ("", runCommandCapture("exit 0"));
    EXPECT_TRUE(entries(scratch.path()).empty());
}

TEST(RunCommandCapture, MissingOutputFileIsReported) {
    vttest::ScratchDir scratch;
    const TemporaryFilesIn temporaries(scratch.path());
    vttest::ScopedEnv comspec("COMSPEC", scratch.file("missing-interpreter").c_str());
    const std::string result = runCommandCapture("echo never");
    const std::string suffix = " is not accessible.";
    ASSERT_GT(result.size(), suffix.size());
    EXPECT_EQ(suffix, result.substr(result.size() - suffix.size()));
    EXPECT_EQ(scratch.path(), FileUtils::dirName(result.substr(0, result.size() - suffix.size())));
}

TEST(RunCommandCapture, OneMebibyteArrivesWhole) {
    vttest::ScratchDir scratch;
    const TemporaryFilesIn temporaries(scratch.path());
    std::string expected;
    std::string line(1023, ' ');
    for (int i = 0; i < 1024; ++i) {
        for (int j = 0; j < 1023; ++j)
            line[static_cast<std::size_t>(j)] = static_cast<char>('a' + (i + j) % 26);
        expected += line + "\n";
    }
    const std::string captured = runCommandCapture(helperCommand("mebibyte"));
    EXPECT_EQ(1u << 20, captured.size());
    EXPECT_TRUE(captured == expected) << "the captured text differs from what was written";
    EXPECT_TRUE(entries(scratch.path()).empty());
}

TEST(StartProgram, WaitsAndPassesWindowsStyleArguments) {
    vttest::ScratchDir scratch;
    const std::string record = scratch.file("args record.txt");
    const std::string arguments = "args " + FileUtils::quote(record) +
                                  " plain \"two words\" a\\\"b back\\\\slash \"end\\\\\" \"\"";
    ASSERT_TRUE(startProgram(helperCommand(arguments), true));
    EXPECT_EQ("[plain]\n[two words]\n[a\"b]\n[back\\\\slash]\n[end\\]\n[]\n",
              vttest::readWholeFile(record));

    EXPECT_FALSE(startProgram(scratch.file("no-such-program") + " x", true));
    EXPECT_FALSE(startProgram(scratch.file("no-such-program"), false));
    EXPECT_FALSE(startProgram("", true));
}

TEST(StartProgram, ReturnsSoonWhileTheProgramRunsOn) {
    vttest::ScratchDir scratch;
    const std::string stop = scratch.file("stop");
    const Clock::time_point start = Clock::now();
    ASSERT_TRUE(startProgram(helperCommand("wait-for " + stop), false));
    // The helper runs for up to a minute unless stopped.
    EXPECT_LT(millisecondsSince(start), 1000);
    EXPECT_FALSE(FileUtils::isFile(stop + ".done"));
    FileUtils::writeFile("", stop);
    EXPECT_TRUE(vttest::waitForFile(stop + ".done", 20)) << "the program kept running";

    ASSERT_TRUE(startProgram(helperCommand("exit 0"), false));
#ifndef _WIN32
    EXPECT_FALSE(zombieChildAppears()) << "a started program is never left as a zombie";
#endif
}

TEST(StartProgram, KeepsNoDescriptorOfTheCallerWhileItWaits) {
    vttest::ScratchDir scratch;
    const std::string stop = scratch.file("stop");
    vttest::TestPipe pipe;
    ASSERT_TRUE(pipe.isOpen());
    std::thread waiting(
        [&] { EXPECT_TRUE(startProgram(helperCommand("wait-for " + stop), true)); });
    std::atomic<bool> checked{false};
    // Stops the program after five seconds should a process still hold the pipe.
    std::thread watchdog([&] {
        const Clock::time_point start = Clock::now();
        while (!checked && millisecondsSince(start) < 5000)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        FileUtils::writeFile("", stop);
    });
    EXPECT_TRUE(vttest::waitForFile(stop + ".started", 20));
    pipe.closeWriteEnd();
    const Clock::time_point start = Clock::now();
    EXPECT_TRUE(pipe.readEndOfFile());
    EXPECT_LT(millisecondsSince(start), 2000)
        << "the caller's pipe stayed open in a process of startProgram";
    checked = true;
    watchdog.join();
    waiting.join();
    EXPECT_TRUE(vttest::waitForFile(stop + ".done", 20));
}

TEST(Environment, SleepAndLookups) {
    const Clock::time_point start = Clock::now();
    sleepSeconds(0);
    EXPECT_LT(millisecondsSince(start), 500);
    sleepSeconds(1);
    EXPECT_GE(millisecondsSince(start), 950);

    {
        vttest::ScopedEnv defined("VT_FILES_TEST_VALUE", "some value");
        EXPECT_EQ("some value", getEnvironment("VT_FILES_TEST_VALUE"));
    }
    EXPECT_EQ("NOT_DEFINED", getEnvironment("VT_FILES_TEST_VALUE"));
}

TEST(Environment, EmptyValueIsNotMissing) {
    if (windowsLeg)
        GTEST_SKIP() << "the C runtime cannot give a variable an empty value at run time";
    vttest::ScopedEnv empty("VT_FILES_TEST_VALUE", "");
    EXPECT_EQ("", getEnvironment("VT_FILES_TEST_VALUE"));
}

TEST(Resources, NothingLeaksOverTwoHundredRuns) {
    vttest::ScratchDir scratch;
    const TemporaryFilesIn temporaries(scratch.path());
    const std::string file = scratch.file("data.txt");
    const std::string pattern = scratch.path() + vttest::separator() + "*";
    // The process starts take turns (an interpreter start costs ~0.3 s under Wine);
    // the file operations run every time.
    auto run = [&](int turn) {
        switch (turn % 8) {
        case 0:
            EXPECT_EQ("to stdout\nto stderr\n", runCommandCapture(helperCommand("both")));
            break;
        case 1:
        case 2:
        case 3:
            EXPECT_TRUE(startProgram(helperCommand("exit 0"), true));
            break;
        case 4:
        case 5:
            EXPECT_TRUE(startProgram(helperCommand("exit 0"), false));
            break;
        default:
            EXPECT_FALSE(startProgram(scratch.file("missing"), false));
            break;
        }
        FileUtils::writeFile("a\nb\n", file);
        EXPECT_EQ("b\n", FileUtils::tailLines(file, 1));
        EXPECT_TRUE(FileUtils::isWritableDirectory(scratch.path()));
        std::vector<std::string> names;
        EXPECT_TRUE(FileUtils::listFiles(pattern.c_str(), names));
    };
    for (int turn = 0; turn < 8; ++turn)
        run(turn); // first uses may open what the runtime keeps for later
    const long before = vttest::openHandleMark();
    for (int turn = 0; turn < 200 && !HasFailure(); ++turn)
        run(turn);
    EXPECT_EQ(before, vttest::openHandleMark());
}

} // namespace
