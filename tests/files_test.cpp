// Files and processes: path strings, file operations, text files, listings and
// names, the command runner, program starts and the environment, also where the
// file system refuses, and over many runs that must leave nothing open.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/Support.h"
#include "vtsupport/files/FileUtils.h"
#include "vtsupport/files/Process.h"

namespace {
namespace fs = std::filesystem;
using vttest::readBytes;
using vttest::ScopedEnv;
using vttest::ScratchDir;
using vttest::writeBytes;
using Clock = std::chrono::steady_clock;

const bool windowsLeg = vttest::onWindows;
const char separator = static_cast<char>(fs::path::preferred_separator);
const std::string bothStreams = "to stdout\nto stderr\n", inaccessible = " is not accessible.";
// `path` with every backslash turned into the native separator.
std::string native(std::string path) {
    std::replace(path.begin(), path.end(), '\\', separator);
    return path;
}
const auto helper = [](const std::string& arguments) {
    return FileUtils::programDirectory() + separator + "files_helper " + arguments;
};
std::vector<std::string> listed(const std::string& pattern) {
    std::vector<std::string> names{"stale"};
    FileUtils::listFiles(pattern.c_str(), names);
    std::sort(names.begin(), names.end());
    return names;
}
long long millisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}
bool appears(const std::string& path) {
    const Clock::time_point start = Clock::now();
    while (!FileUtils::isFile(path) && millisecondsSince(start) < 20000)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return FileUtils::isFile(path);
}
std::string split(const std::string& name) {
    const auto parts = FileUtils::splitExtension(name);
    return parts.first + "|" + parts.second;
}
TEST(Paths, EachRowGivesItsStringOnEachSystem) {
    const auto normalize = FileUtils::normalizePath, strip = FileUtils::stripTrailingBackslash,
               base = FileUtils::baseName, dir = FileUtils::dirName, quote = FileUtils::quote;
    // The operation, its input, the result with '\\' as separator and '/' as the other
    // (Windows), and the result with '/' as the only separator.
    const struct {
        std::string (*operation)(const std::string&);
        const char *input, *windows, *posix;
    } rows[] = {{normalize, "C:/a//b\\\\/c/", "C:\\a\\b\\c\\", "C:/a/b\\\\/c/"},
                {normalize, "\\\\server\\share", "\\server\\share", "\\\\server\\share"},
                {normalize, "//x///y", "\\x\\y", "/x/y"},
                {strip, "a\\\\", "a\\", "a\\\\"},
                {strip, "a//", "a//", "a/"},
                {strip, "\\", "", "\\"},
                {strip, "/", "/", ""},
                {strip, "", "", ""},
                {base, "C:\\dir\\file.txt", "file.txt", "C:\\dir\\file.txt"},
                {base, "/dir/file.txt", "file.txt", "file.txt"},
                {base, "a/b\\c", "b\\c", "b\\c"},
                {base, "dir\\", "", "dir\\"},
                {base, "file", "file", "file"},
                {dir, "C:\\dir\\file.txt", "C:\\dir", ""},
                {dir, "/dir/sub/file", "", "/dir/sub"},
                {dir, "a\\b/c", "a", "a\\b"},
                {dir, "\\file", "", ""},
                {dir, "/file", "", ""},
                {dir, "file", "", ""},
                {split, "name", "name|", "name|"},
                {split, "", "|", "|"},
                {split, "a.b.c", "a.b|.c", "a.b|.c"},
                {split, "end.", "end|.", "end|."},
                {split, ".hidden", "|.hidden", "|.hidden"},
                {quote, "", "", ""},
                {quote, "a b", "\"a b\"", "\"a b\""},
                {quote, "\"x", "\"x", "\"x"},
                {quote, "x\"", "\"x\"\"", "\"x\"\""},
                {quote, "%PATH% $HOME", "\"%PATH% $HOME\"", "\"%PATH% \\$HOME\""},
                {quote, "\"$(id)\" `id` a\\b", "\"$(id)\" `id` a\\b",
                 "\"\\\"\\$(id)\\\" \\`id\\` a\\\\b\""},
                {FileUtils::removeWhitespace, " a\tb\r\nc\v\f ", "abc\v\f", "abc\v\f"}};
    for (const auto& row : rows)
        EXPECT_EQ(windowsLeg ? row.windows : row.posix, row.operation(row.input)) << row.input;
    const std::string withNul("$\0", 2);
    EXPECT_EQ(windowsLeg ? '"' + withNul + '"' : "\"\\" + withNul + '"', FileUtils::quote(withNul));
    if (windowsLeg)
        GTEST_SKIP() << "cmd.exe keeps the quotes and expands %; quote only groups there";
    for (const std::string text : {"$(echo injected)", "a`echo b`c", "back\\slash \\\"",
                                   "\"$HOME\" and ${HOME}", "tab\there; exit 3"})
        EXPECT_EQ(text + "\n", runCommandCapture("printf '%s\\n' " + FileUtils::quote(text)));
}
// isFile, isDirectory and isWritableDirectory of each path, also of directories
// that take no new files (where a write says true and creates nothing, and a
// capture names its output file as not accessible); the probe leaves nothing.
TEST(Files, KindsAndDirectoriesThatTakeNoNewFiles) {
    ScratchDir scratch;
    const std::string file = scratch.file("f.txt"), probe = scratch.file("veltraneTest.txt");
    writeBytes(file, "x");
    writeBytes(probe, "left over");
    const std::pair<std::string, const char*> rows[] = {{file, "100"},
                                                        {scratch.path(), "011"},
                                                        {scratch.path() + separator, "011"},
                                                        {scratch.file("missing"), "000"},
                                                        {file + separator, "000"},
                                                        {"", "000"},
                                                        {windowsLeg ? "Z:\\proc" : "/proc", "010"}};
    for (const auto& row : rows) {
        if (windowsLeg && !vttest::runningUnderWine() && row.first == "Z:\\proc")
            continue; // no directory is known to refuse new files on this Windows host
        EXPECT_EQ(row.second, std::to_string(FileUtils::isFile(row.first)) +
                                  std::to_string(FileUtils::isDirectory(row.first)) +
                                  std::to_string(FileUtils::isWritableDirectory(row.first)))
            << row.first;
        if (row.second != std::string("010"))
            continue;
        EXPECT_TRUE(FileUtils::writeFile("lost", row.first + separator + "vt-new.txt"));
        EXPECT_FALSE(FileUtils::isFile(row.first + separator + "vt-new.txt"));
        const ScopedEnv tmp("TMP", row.first.c_str()), tmpdir("TMPDIR", row.first.c_str());
        const std::string captured = runCommandCapture(helper("both"));
        EXPECT_EQ(inaccessible, captured.substr(captured.size() - inaccessible.size()));
    }
    EXPECT_TRUE(windowsLeg || FileUtils::isDirectory("/"));
    EXPECT_FALSE(FileUtils::isFile(probe)) << "an earlier probe file is removed";
}
TEST(Files, MakeRemoveRenameAndCopy) {
    ScratchDir scratch;
    const std::string dir = scratch.file("new"), file = scratch.file("f.txt");
    EXPECT_TRUE(FileUtils::makeDirectory(dir, 0755));
    EXPECT_TRUE(FileUtils::isDirectory(dir));
    EXPECT_FALSE(FileUtils::makeDirectory(dir, 0755));
    EXPECT_FALSE(FileUtils::makeDirectory(native(scratch.file("no\\parent")), 0755));
    writeBytes(file, "x");
    EXPECT_EQ(0, FileUtils::removeFile(file));
    EXPECT_EQ(-1, FileUtils::removeFile(file));
    EXPECT_EQ(-1, FileUtils::removeFile(dir));
    writeBytes(scratch.file("empty"), "");
    writeBytes(scratch.file("full"), "content");
    for (const char* name : {"empty", "full", "missing"})
        EXPECT_EQ(0, FileUtils::removeIfEmpty(scratch.file(name))) << name;
    EXPECT_EQ("01", std::to_string(FileUtils::isFile(scratch.file("empty"))) +
                        std::to_string(FileUtils::isFile(scratch.file("full"))));
    EXPECT_EQ(1, FileUtils::renameFile(scratch.file("full"), file));
    EXPECT_EQ(0, FileUtils::renameFile(scratch.file("full"), file));
    // ren takes a bare new name in the source's directory; mv takes a path.
    EXPECT_EQ(0, FileUtils::renameByCommand(file, windowsLeg ? "c.txt" : scratch.file("c.txt")));
    EXPECT_EQ("content", readBytes(scratch.file("c.txt")));
    EXPECT_FALSE(FileUtils::isFile(file));
    EXPECT_EQ(0, FileUtils::renameByCommand(file, file)) << "equal names run nothing";
    if (!vttest::runningUnderWine()) { // Wine's cmd.exe answers 0 when ren fails
        EXPECT_EQ(-1, FileUtils::renameByCommand(file, windowsLeg ? "x.txt" : scratch.file("x")));
    }
    EXPECT_EQ(-1, FileUtils::copyFile(scratch.file("missing"), scratch.file("target")));
    EXPECT_FALSE(FileUtils::isFile(scratch.file("target")));
    const std::string tree = scratch.file("tree");
    ASSERT_TRUE(FileUtils::makeDirectory(tree, 0755) &&
                FileUtils::makeDirectory(native(tree + "\\sub"), 0755));
    writeBytes(native(tree + "\\sub\\deep.txt"), "x");
    EXPECT_TRUE(FileUtils::removeDirectoryTree(tree));
    EXPECT_FALSE(FileUtils::isDirectory(tree));
    EXPECT_FALSE(FileUtils::removeDirectoryTree(scratch.file("c.txt")));
    EXPECT_FALSE(FileUtils::removeDirectoryTree(scratch.file("missing")));
    EXPECT_TRUE(FileUtils::isFile(scratch.file("c.txt")));
}
// Names that an interpreter would take for commands are copied, renamed and
// removed as names: nothing they spell runs.
TEST(Files, HostileNamesRunNothing) {
    ScratchDir scratch;
    std::vector<std::string> names = {"a;mkdir ran", "$(mkdir ran)", "`mkdir ran`", "x & mkdir ran",
                                      "b'$(mkdir ran)'"};
    if (!windowsLeg)
        names.push_back("c\"; mkdir ran; \"\\$(mkdir ran)");
    for (const std::string& name : names) {
        const std::string from = scratch.file(name), copy = scratch.file("copy " + name);
        writeBytes(from, "hostile");
        EXPECT_EQ(0, FileUtils::copyFile(FileUtils::quote(from), FileUtils::quote(copy))) << name;
        EXPECT_EQ("hostile", readBytes(copy)) << name;
        const std::string moved = windowsLeg ? "moved " + name : scratch.file("moved " + name);
        EXPECT_EQ(0, FileUtils::renameByCommand(FileUtils::quote(copy), FileUtils::quote(moved)));
        EXPECT_TRUE(FileUtils::isFile(scratch.file("moved " + name))) << name;
        if (windowsLeg)
            continue; // RMDIR takes the directory as it stands, blanks and all
        ASSERT_TRUE(FileUtils::makeDirectory(from + " tree", 0755)) << name;
        writeBytes(from + " tree/inside", "x");
        EXPECT_TRUE(FileUtils::removeDirectoryTree(from + " tree")) << name;
        EXPECT_FALSE(FileUtils::isDirectory(from + " tree")) << name;
    }
    EXPECT_FALSE(FileUtils::isDirectory("ran")); // where the commands ran
}
TEST(Files, TextIsWrittenInTextModeAndReadByLines) {
    ScratchDir scratch;
    const std::string path = scratch.file("text.txt");
    EXPECT_TRUE(FileUtils::writeFile("one\ntwo", path));
    EXPECT_EQ(windowsLeg ? "one\r\ntwo" : "one\ntwo", readBytes(path));
    EXPECT_TRUE(FileUtils::writeFile("x", path));
    EXPECT_EQ("x", readBytes(path)) << "truncated";
    const std::string longest(1023, 'x');
    const struct {
        std::string bytes;
        std::vector<std::string> lines;
    } rows[] = {
        {"a\r\n\r\nb\nc\rd\r\nlast", {"a", "", "b", "c\rd", "last"}},
        {longest + "\n" + longest + "\r\nend\n", {longest, longest, "end"}},
        {"short\n" + longest + "y\nafter\n", {"short"}},
        {"short\n" + longest + "y\r\nafter\n", {"short"}},
        {"short\n" + longest + "yz", {"short"}},
        {"short\n" + std::string(5000, 'y'), {"short"}},
        {"", {}},
        {"\n", {""}},
    };
    for (const auto& row : rows) {
        writeBytes(path, row.bytes);
        std::vector<std::string> lines{"kept"};
        FileUtils::readLines(lines, path);
        FileUtils::readLines(lines, scratch.file("missing"));
        lines.erase(lines.begin());
        EXPECT_EQ(row.lines, lines) << row.bytes.substr(0, 40);
    }
    writeBytes(path, "a\nb\nc\r\nd\ne");
    EXPECT_EQ("a\nb\nc\nd\ne\n", FileUtils::readFile(path));
    const std::pair<int, const char*> tails[] = {
        {2, "d\ne\n"},           {1, "e\n"}, {5, "a\nb\nc\nd\ne\n"},
        {50, "a\nb\nc\nd\ne\n"}, {0, ""},    {-3, ""}};
    for (const auto& tail : tails)
        EXPECT_EQ(tail.second, FileUtils::tailLines(path, tail.first)) << tail.first;
    EXPECT_EQ("", FileUtils::tailLines(scratch.file("missing"), 2) +
                      FileUtils::readFile(scratch.file("missing")));
}
TEST(Files, ListingsTemporaryNamesAndUniqueNames) {
    ScratchDir scratch;
    for (const char* name : {"a.txt", "b.txt", "c.log"})
        writeBytes(scratch.file(name), "");
    ASSERT_TRUE(FileUtils::makeDirectory(scratch.file("sub"), 0755));
    const std::string dir = scratch.path() + separator;
    EXPECT_EQ((std::vector<std::string>{dir + "a.txt", dir + "b.txt"}), listed(dir + "*.txt"));
    EXPECT_EQ((std::vector<std::string>{dir + ".", dir + "..", dir + "a.txt", dir + "b.txt",
                                        dir + "c.log", dir + "sub"}),
              listed(dir + "*"));
    EXPECT_EQ(std::vector<std::string>{dir + "sub"}, listed(dir + "s?b"));
    std::vector<std::string> names;
    EXPECT_TRUE(FileUtils::listFiles((dir + "?.log").c_str(), names));
    for (const std::string& none : {dir + "*.none", native(scratch.file("missing\\*"))}) {
        EXPECT_FALSE(FileUtils::listFiles(none.c_str(), names));
        EXPECT_TRUE(names.empty());
    }
    const std::string data = scratch.file("data.txt");
    EXPECT_EQ(scratch.file("data_1.txt"), FileUtils::uniqueFileName(data));
    writeBytes(scratch.file("data_1.txt"), "");
    writeBytes(scratch.file("data_2.txt"), "");
    ASSERT_TRUE(FileUtils::makeDirectory(scratch.file("data_3.txt"), 0755)); // no file
    EXPECT_EQ(scratch.file("data_3.txt"), FileUtils::uniqueFileName(data));
    EXPECT_EQ(scratch.file("noext_1"), FileUtils::uniqueFileName(scratch.file("noext")));
    EXPECT_EQ("plain_1.txt", FileUtils::uniqueFileName("plain.txt"));
    EXPECT_EQ(windowsLeg ? "data_1.txt" : "sub/data_1.txt",
              FileUtils::uniqueFileName("sub/data.txt"));
    const std::string program = FileUtils::programDirectory() + separator + "files_test";
    EXPECT_TRUE(FileUtils::isFile(program + (windowsLeg ? ".exe" : "")));
    const ScopedEnv tmp("TMP", scratch.path().c_str()), tmpdir("TMPDIR", scratch.path().c_str());
    const std::string temp = FileUtils::tempFileName();
    // Wine's _tempnam keeps only the first three characters of the prefix.
    const std::string start = dir + (vttest::runningUnderWine() ? "vtt" : "vttmp");
    EXPECT_EQ(start, temp.substr(0, start.size()));
    EXPECT_FALSE(FileUtils::isFile(temp)) << "the name is not reserved";
    if (windowsLeg)
        return;
    const ScopedEnv slash("TMPDIR", dir.c_str());
    EXPECT_EQ(start, FileUtils::tempFileName().substr(0, start.size()));
    const ScopedEnv root("TMPDIR", "/");
    EXPECT_EQ("/vttmp", FileUtils::tempFileName().substr(0, 6)) << "one separator after the root";
    // A directory whose names would be too long for the system: no name can be made.
    std::string deep = scratch.path();
    while (deep.size() < 4090)
        fs::create_directory(
            deep += "/" + std::string(std::min<std::size_t>(200, 4089 - deep.size()), 'd'));
    const ScopedEnv tooLong("TMPDIR", deep.c_str());
    EXPECT_EQ("", FileUtils::tempFileName());
}
// The remover starts once the first listing has, so the two always overlap; every
// listing holds names that existed, and says it found something exactly when it did.
TEST(Files, FilesRemovedWhileTheDirectoryIsListedRace) {
    ScratchDir scratch;
    std::set<std::string> made;
    for (int i = 0; i < 1000; ++i)
        writeBytes(*made.insert(scratch.file("f" + std::to_string(i))).first, "");
    const std::string pattern = scratch.file("f*");
    std::atomic<bool> listing{false}, removing{true};
    std::thread remover([&] {
        while (!listing)
            std::this_thread::yield();
        for (const std::string& name : made)
            FileUtils::removeFile(name);
        removing = false;
    });
    do {
        std::vector<std::string> names;
        listing = true;
        const bool found = FileUtils::listFiles(pattern.c_str(), names);
        EXPECT_EQ(found, !names.empty());
        for (const std::string& name : names)
            EXPECT_EQ(1u, made.count(name)) << name;
    } while (removing && !::testing::Test::HasFailure());
    remover.join();
    EXPECT_EQ(std::vector<std::string>{}, listed(pattern));
}
TEST(Commands, ExitStatusOutputAndTheInterpreter) {
    ScratchDir scratch;
    const ScopedEnv tmp("TMP", scratch.path().c_str()), tmpdir("TMPDIR", scratch.path().c_str());
    EXPECT_EQ(3ul, runCommand("exit 3"));
    EXPECT_EQ(0ul, runCommand("exit 0"));
    EXPECT_EQ(bothStreams, runCommandCapture(helper("both")));
    // cmd.exe's echo keeps the blanks before a redirection as part of its text.
    const std::string echoed = runCommandCapture("echo hello");
    EXPECT_EQ("hello\n", FileUtils::removeWhitespace(echoed) + echoed.back());
    EXPECT_EQ(std::string::npos, echoed.find('\r'));
    EXPECT_EQ("failing\n", runCommandCapture(helper("fail"))) << "a failed command's output";
    EXPECT_EQ("", runCommandCapture("exit 0"));
    std::string mebibyte;
    for (int i = 0; i < 1024 * 1024; ++i)
        mebibyte += i % 1024 == 1023 ? '\n' : static_cast<char>('a' + (i / 1024 + i % 1024) % 26);
    EXPECT_TRUE(mebibyte == runCommandCapture(helper("mebibyte")))
        << "differs from what was written";
    EXPECT_EQ((std::vector<std::string>{scratch.file("."), scratch.file("..")}),
              listed(scratch.file("*")))
        << "no capture file is left";
    {
        const ScopedEnv comspec("COMSPEC", nullptr);
        EXPECT_EQ(3ul, runCommand("exit 3")) << "the default interpreter";
        const ScopedEnv found("COMSPEC", windowsLeg ? "cmd.exe" : "sh"); // on the search path
        EXPECT_EQ(4ul, runCommand("exit 4"));
        const ScopedEnv missing("COMSPEC", scratch.file("missing-interpreter").c_str());
        EXPECT_EQ(2ul, runCommand("exit 3")) << "file not found";
        const std::string captured = runCommandCapture("echo never");
        EXPECT_EQ(scratch.path(), FileUtils::dirName(captured));
        EXPECT_EQ(inaccessible, captured.substr(captured.size() - inaccessible.size()));
    }
    if (windowsLeg)
        GTEST_SKIP() << "COMSPEC cannot be empty in the C runtime; no death by signal on Windows";
    EXPECT_EQ(128ul + 15, runCommand("kill -TERM $$"));
    const ScopedEnv empty("COMSPEC", "");
    const unsigned long status = runCommand("exit 3");
    EXPECT_TRUE(status != 0 && status != 3) << "an empty COMSPEC is used as it is, and fails";
}
// This program runs itself with VT_HIDDEN_RUN set; the inner run runs the helper.
TEST(Commands, ACommandsOutputStaysInItsHiddenConsole) {
    if (getEnvironment("VT_HIDDEN_RUN") == "1")
        return void(runCommand(helper("both")));
    const ScopedEnv inner("VT_HIDDEN_RUN", "1");
    const std::string out = runCommandCapture(
        FileUtils::programDirectory() + separator +
        "files_test --gtest_filter=Commands.ACommandsOutputStaysInItsHiddenConsole");
    EXPECT_NE(std::string::npos, out.find("[  PASSED  ] 1 test")) << out;
    EXPECT_EQ(std::string::npos, out.find("to std")) << out;
}
TEST(Commands, ProgramsGetTheirArgumentsByTheWindowsRulesAndAreFoundOnThePath) {
    ScratchDir scratch;
    const std::string record = scratch.file("args record.txt");
    // Leading blanks are skipped (cmd.exe's CreateProcess under Wine does not take them).
    const std::string start = (windowsLeg ? "" : "  ") + helper("args " + FileUtils::quote(record));
    const std::pair<const char*, const char*> rows[] = {
        {" plain \"two words\" a\\\"b back\\\\slash \"end\\\\\" \"\"",
         "[plain]\n[two words]\n[a\"b]\n[back\\\\slash]\n[end\\]\n[]\n"},
        {"\ta\\\\\\\"b\tin\" \"side x\\", "[a\\\"b]\n[in side]\n[x\\]\n"},
        {" \"q\\\"d\" \\\\\\\\\"e f\"   ", "[q\"d]\n[\\\\e f]\n"},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(startProgram(start + row.first, true)) << row.first;
        EXPECT_EQ(row.second, readBytes(record)) << row.first;
    }
    const std::string suffix = windowsLeg ? ".exe" : "";
    const std::string program = FileUtils::programDirectory() + separator + "files_helper" + suffix;
    const std::string first = scratch.file("first"), second = scratch.file("with blank");
    fs::create_directory(first);
    fs::create_directory(second);
    writeBytes(first + separator + "vthelper", "not a program");
    fs::copy_file(program, second + separator + "vthelper" + suffix);
    fs::permissions(second + separator + "vthelper" + suffix, fs::perms::owner_all);
    const std::string quoted = "\"" + second + separator + "vthelper\" args ";
    EXPECT_TRUE(startProgram(quoted + FileUtils::quote(record) + " quoted", true));
    EXPECT_EQ("[quoted]\n", readBytes(record));
    for (const std::string& line :
         {scratch.file("none") + " x", std::string(), std::string("   "), std::string("\"\" x")})
        EXPECT_FALSE(startProgram(line, line.size() % 2 == 0)) << line;
    if (windowsLeg)
        return;
    // In order along the path, past a directory that lacks it and one whose file cannot run.
    const ScopedEnv path("PATH", (scratch.file("none") + ":" + first + ":" + second).c_str());
    EXPECT_TRUE(startProgram("vthelper args " + FileUtils::quote(record) + " found", true));
    EXPECT_EQ("[found]\n", readBytes(record));
    const ScopedEnv onlyFirst("PATH", first.c_str());
    EXPECT_FALSE(startProgram("vthelper x", true));
    // Where the file commands cannot be started they fail, and change nothing.
    EXPECT_FALSE(FileUtils::removeDirectoryTree(second));
    EXPECT_EQ(-1, FileUtils::copyFile(record, record + ".copy"));
    EXPECT_EQ(-1, FileUtils::renameByCommand(record, record + ".moved"));
    EXPECT_TRUE(FileUtils::isDirectory(second) && FileUtils::isFile(record));
}
TEST(Commands, AProgramNotWaitedForGetsAShortWaitAndKeepsNothingOfTheCaller) {
    ScratchDir scratch;
    const std::string stop = scratch.file("stop");
    int pipe[2];
    ASSERT_TRUE(vttest::makeInheritablePipe(pipe));
    const int high = vttest::copyAboveDescriptorLimit(pipe[1]); // kept from it too
    const Clock::time_point start = Clock::now();
    ASSERT_TRUE(startProgram(helper("wait-for " + FileUtils::quote(stop)), false));
    vttest::restoreDescriptorLimit();
    EXPECT_GE(millisecondsSince(start), 90) << "the short wait";
    EXPECT_TRUE(appears(stop + ".started"));
    EXPECT_FALSE(FileUtils::isFile(stop + ".done")) << "returned while the program runs";
    // No process of startProgram holds the caller's pipe: its end comes at once.
    vttest::closeDescriptor(pipe[1]);
    vttest::closeDescriptor(high);
    EXPECT_TRUE(vttest::readsEndOfFile(pipe[0]));
    EXPECT_LT(millisecondsSince(start), 15000) << "the pipe stayed open in the started program";
    vttest::closeDescriptor(pipe[0]);
    FileUtils::writeFile("", stop);
    EXPECT_TRUE(appears(stop + ".done"));
    EXPECT_TRUE(startProgram(helper("exit 0"), false));
    EXPECT_TRUE(startProgram(helper("exit 0"), true));
    EXPECT_FALSE(vttest::unwaitedChildAppears(3)) << "a started program is never left a zombie";
}
// Waits go on through a signal that lands in the host process.
TEST(Commands, SleepWaitsAndTheEnvironment) {
    Clock::time_point start = Clock::now();
    sleepSeconds(0);
    EXPECT_LT(millisecondsSince(start), 500);
    const bool signals = vttest::interruptAfter(200);
    sleepSeconds(1);
    EXPECT_GE(millisecondsSince(start), 950);
    {
        const ScopedEnv defined("VT_FILES_TEST_VALUE", "some value");
        EXPECT_EQ("some value", getEnvironment("VT_FILES_TEST_VALUE"));
    }
    EXPECT_EQ("NOT_DEFINED", getEnvironment("VT_FILES_TEST_VALUE"));
    if (!signals)
        GTEST_SKIP() << "no signals and no empty values in the C runtime on Windows";
    const ScopedEnv empty("VT_FILES_TEST_VALUE", "");
    EXPECT_EQ("", getEnvironment("VT_FILES_TEST_VALUE"));
    vttest::interruptAfter(200);
    EXPECT_EQ(3ul, runCommand("sleep 0.5; exit 3"));
    vttest::interruptAfter(200);
    EXPECT_EQ("x\n", runCommandCapture("sleep 0.5; echo x"));
    vttest::interruptAfter(200, true); // also the process that waits for the program
    start = Clock::now();
    EXPECT_TRUE(startProgram("sleep 0.5", true));
    EXPECT_GE(millisecondsSince(start), 450);
    vttest::interruptAfter(50);
    EXPECT_FALSE(startProgram("no-such-program-anywhere", true));
}
// Every kind of run and file operation, many times over: nothing may stay open or behind.
TEST(Commands, ManyRunsLeaveNothingOpen) {
    const int turns = vttest::runningUnderWine() ? 40 : 400; // cmd.exe starts slowly there
    ScratchDir scratch;
    const ScopedEnv tmp("TMP", scratch.path().c_str()), tmpdir("TMPDIR", scratch.path().c_str());
    const std::string file = scratch.file("data.txt");
    auto run = [&](int turn) {
        if (turn % 5 == 0)
            EXPECT_EQ(3ul, runCommand("exit 3"));
        else if (turn % 5 == 1)
            EXPECT_EQ(bothStreams, runCommandCapture(helper("both")));
        else
            EXPECT_EQ(turn % 5 != 4,
                      startProgram(turn % 5 == 4 ? file : helper("exit 0"), turn % 5 == 2));
        FileUtils::writeFile("a\nb\n", file);
        EXPECT_EQ("b\n", FileUtils::tailLines(file, 1));
        EXPECT_TRUE(FileUtils::isWritableDirectory(scratch.path()));
        EXPECT_EQ(3u, listed(scratch.file("*")).size());
    };
    for (int turn = 0; turn < 5; ++turn)
        run(turn); // first uses may open what the runtime keeps for later
    const long before = vttest::openHandleCount();
    for (int turn = 0; turn < turns && !HasFailure(); ++turn)
        run(turn);
    EXPECT_NEAR(before, vttest::openHandleCount(), vttest::handleCountDrift());
}
} // namespace
