// Files and processes.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/Support.h"
#include "vtsupport/files/FileUtils.h"
#include "vtsupport/files/Process.h"
#include "vtsupport/files/detail/CommandLine.h"

namespace {
namespace fs = std::filesystem;
using testing::EndsWith;
using vttest::readBytes;
using vttest::ScopedEnv;
using vttest::ScratchDir;
using vttest::writeBytes;
using Clock = std::chrono::steady_clock;

const bool windowsLeg = vttest::onWindows;
const char separator = static_cast<char>(fs::path::preferred_separator);
const std::string bothStreams = "to stdout\nto stderr\n", inaccessible = " is not accessible.";
std::string helper(const std::string& arguments) {
    return FileUtils::programDirectory() + separator + "files_helper " + arguments;
}
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
        std::string input, windows, posix;
    } rows[] = {
        {normalize, "C:/a//b\\\\/c/", "C:\\a\\b\\c\\", "C:/a/b\\\\/c/"},
        {normalize, "\\\\server\\share", "\\server\\share", "\\\\server\\share"},
        {normalize, "//x///y", "\\x\\y", "/x/y"},
        {strip, "a\\\\", "a\\", "a\\\\"},
        {strip, "a//", "a//", "a/"},
        {base, "C:\\dir\\file.txt", "file.txt", "C:\\dir\\file.txt"},
        {base, "a/b\\c", "b\\c", "b\\c"},
        {base, "dir\\", "", "dir\\"},
        {base, "file", "file", "file"},
        {dir, "C:\\dir\\file.txt", "C:\\dir", ""},
        {dir, "/dir/sub/file", "", "/dir/sub"},
        {dir, "a\\b/c", "a", "a\\b"},
        {dir, "file", "", ""},
        {split, "name", "name|", "name|"},
        {split, "a.b.c", "a.b|.c", "a.b|.c"},
        {split, ".hidden", "|.hidden", "|.hidden"},
        {quote, "", "", ""},
        {quote, "a b", "\"a b\"", "\"a b\""},
        {quote, "\"x", "\"x", "\"\\\"x\""},
        {quote, "\"a b\"", "\"a b\"", "\"a b\""},
        {quote, "a\"; id; \"", "\"a\"; id; \"\"", "\"a\\\"; id; \\\"\""},
        {quote, "\"a\"; id; \"\"", "\"a\"; id; \"\"", "\"\\\"a\\\"; id; \\\"\\\"\""},
        {quote, "%PATH% $HOME", "\"%PATH% $HOME\"", "\"%PATH% \\$HOME\""},
        {quote, "\"$(id)\" `id` a\\b", "\"$(id)\" `id` a\\b",
         "\"\\\"\\$(id)\\\" \\`id\\` a\\\\b\""},
        {quote, std::string("$\0", 2), std::string("\"$\0\"", 4), std::string("\"\\$\0\"", 5)},
        {FileUtils::removeWhitespace, " a\tb\r\nc\v\f ", "abc\v\f", "abc\v\f"}};
    for (const auto& row : rows)
        EXPECT_EQ(windowsLeg ? row.windows : row.posix, row.operation(row.input)) << row.input;
}
// The command-line rules are plain text work: every system checks all of them.
TEST(CommandLines, EachRuleGivesItsWordsOnEverySystem) {
    namespace detail = vtsupport::detail;
    using Syntax = detail::InterpreterSyntax;
    const auto joined = [](const std::vector<std::string>& words) {
        std::string text;
        for (const std::string& word : words)
            text += "[" + word + "]";
        return text;
    };
    const auto program = [&](const std::string& line) {
        return joined(detail::splitWindowsCommandLine(line));
    };
    const auto fileCommand = [&](const std::string& text) {
        std::vector<std::string> words{"cp"};
        detail::appendQuotedArguments(text, words);
        return joined(words);
    };
    const auto word = [](Syntax syntax) {
        return [syntax](const std::string& name) { return detail::interpreterWord(name, syntax); };
    };
    const auto cmd = word(Syntax::WindowsCmd), sh = word(Syntax::PosixShell);
    const struct {
        const char* what;
        std::function<std::string(const std::string&)> rule;
        std::string input, expected;
    } rows[] = {
        {"blanks and tabs around words", program, " \t p \t a  ", "[p][a]"},
        {"nothing but blanks", program, "   ", ""},
        {"a program name keeps backslashes", program, R"(C:\d\"my app"\p.exe x)",
         R"([C:\d\my app\p.exe][x])"},
        {"2n backslashes, a quote: n", program, R"(p a\\"b c")", R"([p][a\b c])"},
        {"2n+1 backslashes, a quote: n, \"", program, R"(p a\\\"b)", R"([p][a\"b])"},
        {"other backslashes stay", program, R"(p a\\\b)", R"([p][a\\\b])"},
        {"an escaped quote last", program, R"(p "x\")", R"([p][x"])"},
        {"empty quoted words", program, R"(p "" "")", "[p][][]"},
        {"quotes join what touches", program, R"(p a"b c"d)", "[p][ab cd]"},
        {"two quotes in quotes: one", program, R"(p "a""b" """c""" d)", R"([p][a"b]["c"][d])"},
        {"files: blanks and tabs", fileCommand, " a\t\"b c\"  d", "[cp][a][b c][d]"},
        {"files: escapes in quotes", fileCommand, R"("\$\`\"\\")", "[cp][$`\"\\]"},
        {"files: other backslashes", fileCommand, R"("a\b")", R"([cp][a\b])"},
        {"files: unquoted backslash", fileCommand, R"(a\$b)", R"([cp][a\$b])"},
        {"files: a backslash last", fileCommand, R"("a\)", R"([cp][a\])"},
        {"files: a backslash, a NUL", fileCommand, std::string("\"\\\0\"", 4),
         std::string("[cp][\\\0]", 8)},
        {"sh: plain", sh, "/tmp/vttmp_AZaz09-1.x+y,z:@%", "/tmp/vttmp_AZaz09-1.x+y,z:@%"},
        {"sh: blanks quoted", sh, "/tmp/my temp/v", "'/tmp/my temp/v'"},
        {"sh: a single quote", sh, "/t/it's", R"('/t/it'\''s')"},
        {"sh: expansions quoted", sh, "/t/$(id)`id`", "'/t/$(id)`id`'"},
        {"sh: nothing", sh, "", ""},
        {"cmd: plain", cmd, R"(C:\Temp\vtt1.tmp)", R"(C:\Temp\vtt1.tmp)"},
        {"cmd: blanks quoted", cmd, R"(C:\my temp\v)", R"("C:\my temp\v")"},
        {"cmd: operators quoted", cmd, R"(C:\a&b^c(d),e;f=g|h)", R"("C:\a&b^c(d),e;f=g|h")"},
        {"cmd: %NAME% refused", cmd, R"(C:\%OS%\v)", ""},
        {"cmd: !NAME! refused", cmd, R"(C:\a!b\v)", ""},
        {"cmd: a line end refused", cmd, "C:\\a\nb", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.expected, row.rule(row.input)) << row.what;
    EXPECT_EQ("echo > '/a b' 2>&1", detail::redirectedCommand("echo", "/a b", Syntax::PosixShell));
    EXPECT_EQ(R"("p" > C:\t\v 2>&1)",
              detail::redirectedCommand(R"("p")", R"(C:\t\v)", Syntax::WindowsCmd));
    EXPECT_EQ(R"(""p" x > "C:\my t\v" 2>&1")",
              detail::redirectedCommand(R"("p" x)", R"(C:\my t\v)", Syntax::WindowsCmd))
        << "CMD.EXE strips the outer pair of a line that begins with a quote";
    EXPECT_EQ(R"(p >  2>&1)", detail::redirectedCommand("p", R"(C:\%OS%\v)", Syntax::WindowsCmd));
    const ScopedEnv comspec("COMSPEC", nullptr);
    EXPECT_EQ("CMD.EXE /c", detail::interpreterProgram(Syntax::WindowsCmd) + " " +
                                detail::interpreterRunSwitch(Syntax::WindowsCmd));
    EXPECT_EQ("/bin/sh -c", detail::interpreterProgram(Syntax::PosixShell) + " " +
                                detail::interpreterRunSwitch(Syntax::PosixShell));
    const ScopedEnv named("COMSPEC", "my shell");
    EXPECT_EQ("my shell", detail::interpreterProgram(Syntax::PosixShell));
}
// Where a directory takes no new files, a write says true and creates nothing, and
// a capture names its output file as not accessible.
TEST(Files, KindsAndDirectoriesThatTakeNoNewFiles) {
    ScratchDir scratch;
    const std::string file = scratch.file("f.txt"), probe = scratch.file("veltraneTest.txt");
    writeBytes(file, "x");
    writeBytes(probe, "left over");
    const std::string refusing = windowsLeg ? "Z:\\proc" : "/proc";
    const auto kinds = [](const std::string& path) {
        return std::to_string(FileUtils::isFile(path)) +
               std::to_string(FileUtils::isDirectory(path)) +
               std::to_string(FileUtils::isWritableDirectory(path));
    };
    const std::pair<std::string, const char*> rows[] = {{file, "100"},
                                                        {scratch.path(), "011"},
                                                        {scratch.path() + separator, "011"},
                                                        {file + separator, "000"},
                                                        {scratch.file("missing"), "000"},
                                                        {"", "000"}};
    for (const auto& row : rows)
        EXPECT_EQ(row.second, kinds(row.first)) << row.first;
    EXPECT_TRUE(windowsLeg || FileUtils::isDirectory("/"));
    EXPECT_FALSE(FileUtils::isFile(probe)) << "an earlier probe file is removed";
    if (windowsLeg && !vttest::runningUnderWine())
        return; // no directory is known to refuse new files on this Windows host
    EXPECT_EQ("010", kinds(refusing));
    EXPECT_TRUE(FileUtils::writeFile("lost", refusing + separator + "vt-new.txt"));
    EXPECT_FALSE(FileUtils::isFile(refusing + separator + "vt-new.txt"));
    const ScopedEnv tmp("TMP", refusing.c_str()), tmpdir("TMPDIR", refusing.c_str());
    EXPECT_THAT(runCommandCapture(helper("both")), EndsWith(inaccessible));
}
TEST(Files, MakeRemoveRenameAndCopy) {
    ScratchDir scratch;
    const std::string dir = scratch.file("new"), file = scratch.file("f.txt");
    EXPECT_TRUE(FileUtils::makeDirectory(dir, 0755));
    EXPECT_FALSE(FileUtils::makeDirectory(dir, 0755));
    writeBytes(file, "x");
    EXPECT_EQ(0, FileUtils::removeFile(file));
    EXPECT_EQ(-1, FileUtils::removeFile(file));
    writeBytes(scratch.file("empty"), "");
    writeBytes(scratch.file("full"), "content");
    for (const char* name : {"empty", "full", "missing"})
        EXPECT_EQ(0, FileUtils::removeIfEmpty(scratch.file(name))) << name;
    EXPECT_EQ("01", std::to_string(FileUtils::isFile(scratch.file("empty"))) +
                        std::to_string(FileUtils::isFile(scratch.file("full"))));
    EXPECT_EQ(1, FileUtils::renameFile(scratch.file("full"), file));
    // ren takes a bare new name in the source's directory; mv takes a path.
    EXPECT_EQ(0, FileUtils::renameByCommand(file, windowsLeg ? "c.txt" : scratch.file("c.txt")));
    EXPECT_EQ("content", readBytes(scratch.file("c.txt")));
    EXPECT_FALSE(FileUtils::isFile(file));
    EXPECT_EQ(0, FileUtils::renameByCommand(file, file)) << "equal names run nothing";
    // ren neither replaces a name that is taken nor moves into a directory; more than two names
    // are no rename at all.
    writeBytes(file, "other");
    const std::string c = FileUtils::quote(scratch.file("c.txt")), x = scratch.file("x");
    for (const std::string& to : {std::string(windowsLeg ? "c.txt" : c), std::string("."),
                                  std::string(windowsLeg ? "x.txt " : x + " ") + c}) {
        if (!vttest::runningUnderWine()) { // Wine's cmd.exe answers 0 when ren fails
            EXPECT_EQ(-1, FileUtils::renameByCommand(file, to)) << to;
        }
    }
    EXPECT_EQ("other", readBytes(file));
    EXPECT_EQ("content", readBytes(scratch.file("c.txt")));
    EXPECT_EQ(0, FileUtils::removeFile(file));
    if (!vttest::runningUnderWine()) {
        EXPECT_EQ(-1, FileUtils::renameByCommand(file, windowsLeg ? "x.txt" : x));
    }
    EXPECT_EQ(-1, FileUtils::copyFile(scratch.file("missing"), scratch.file("target")));
    EXPECT_FALSE(FileUtils::isFile(scratch.file("target")));
    EXPECT_FALSE(FileUtils::removeDirectoryTree(scratch.file("c.txt")));
    EXPECT_FALSE(FileUtils::removeDirectoryTree(scratch.file("missing")));
    EXPECT_TRUE(FileUtils::isFile(scratch.file("c.txt")));
}
// Names that an interpreter would split or run are copied, renamed, removed and captured into as
// they are: nothing beside them, here or in the current directory, changes.
TEST(Files, HostileNamesAreTakenAsNames) {
    ScratchDir scratch;
    const fs::path caller = fs::current_path();
    fs::current_path(scratch.path());
    const std::vector<std::string> beside({"a", "b", "ab", "t", "u", "x", "lead", "Windows_NT"});
    for (const std::string& name : beside) {
        fs::create_directory(name);
        writeBytes(scratch.file(name + separator + "canary"), "keep");
    }
    writeBytes(scratch.file("c.keep"), "keep");
    std::vector<std::string> names({"a b", "a,b", "a;b", "a=b", "a^b", "%OS%", "a!b", "(x)",
                                    " lead", "t&mkdir INJ", "u & del c.keep", "$(mkdir INJ)",
                                    "`mkdir INJ`", "b'$(mkdir INJ)'"});
    if (!windowsLeg) // Windows drops trailing blanks and has no double quote in names
        names.insert(names.end(),
                     {"trail ", "c\"; mkdir INJ; \"\\$(mkdir INJ)", "d\"; mkdir INJ; \""});
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string from = scratch.file(name + ".f"), copy = scratch.file("copy " + name);
        writeBytes(from, "hostile");
        // CMD.EXE expands %NAME% inside quotes: the README's limits say so.
        if (!windowsLeg || name.find('%') == std::string::npos) {
            EXPECT_EQ(0, FileUtils::copyFile(FileUtils::quote(from), FileUtils::quote(copy)));
            EXPECT_EQ("hostile", readBytes(copy));
            const std::string moved = windowsLeg ? "moved " + name : scratch.file("moved " + name);
            EXPECT_EQ(0,
                      FileUtils::renameByCommand(FileUtils::quote(copy), FileUtils::quote(moved)));
            EXPECT_TRUE(FileUtils::isFile(scratch.file("moved " + name)));
        }
        const std::string tree = scratch.file(name);
        ASSERT_TRUE(FileUtils::makeDirectory(tree, 0755));
        const ScopedEnv tmp("TMP", tree.c_str()), tmpdir("TMPDIR", tree.c_str());
        const std::string captured = runCommandCapture(helper("both"));
        if (windowsLeg && name.find_first_of("%!") != std::string::npos) // nothing may run
            EXPECT_THAT(captured, EndsWith(inaccessible));
        else
            EXPECT_EQ(bothStreams, captured);
        EXPECT_TRUE(fs::is_empty(tree));
        writeBytes(tree + separator + "inside", "x");
        EXPECT_TRUE(FileUtils::removeDirectoryTree(tree));
        EXPECT_FALSE(FileUtils::isDirectory(tree));
        for (const std::string& other : beside) {
            EXPECT_EQ("keep", readBytes(scratch.file(other + separator + "canary")));
            EXPECT_EQ(1, std::distance(fs::directory_iterator(other), {})) << other;
        }
        EXPECT_EQ("keep", readBytes(scratch.file("c.keep")));
        EXPECT_FALSE(fs::exists(scratch.file("INJ")));
    }
    fs::current_path(caller);
}
// Also given with a trailing separator or met inside a tree.
TEST(Files, LinksAreNeverFollowed) {
    ScratchDir scratch;
    const std::string target = scratch.file("target"), canary = target + separator + "canary";
    fs::create_directory(target);
    writeBytes(canary, "keep");
    // Wine opens what a link points to, so there the link stays and only the
    // target's safety can be checked; elsewhere the link itself goes.
    const bool linksGo = !vttest::runningUnderWine();
    const std::string tree = scratch.file("tree");
    const struct {
        const char* what;
        std::string link;
        bool removed;
        std::function<bool(const std::string&)> act;
    } rows[] = {
        {"removed with a trailing separator", scratch.file("l1"), true,
         [](const std::string& link) { return FileUtils::removeDirectoryTree(link + separator); }},
        {"inside a removed tree", tree + separator + "inner", true,
         [&](const std::string&) {
             return FileUtils::removeDirectoryTree(tree) && (!linksGo || !fs::exists(tree));
         }},
        {"copied with a trailing separator", scratch.file("l3"), false,
         [&](const std::string& link) {
             return FileUtils::copyFile(link + separator, scratch.file("c")) == -1 || windowsLeg;
         }},
        {"renamed with a trailing separator", scratch.file("l4"), false,
         [&](const std::string& link) {
             return FileUtils::renameByCommand(link + separator, scratch.file("m")) == -1 ||
                    windowsLeg;
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        fs::create_directory(tree);
        ASSERT_TRUE(vttest::makeDirectoryLink(target, row.link));
        EXPECT_TRUE(row.act(row.link));
        EXPECT_EQ("keep", readBytes(canary));
        EXPECT_EQ(row.removed && linksGo, !fs::exists(fs::symlink_status(row.link)));
        vttest::removeDirectoryLink(row.link);
    }
}
// A link or a FIFO of the probe's name makes the answer false at once, and goes,
// while what lies behind it stays.
TEST(Files, TheWritabilityProbeWritesThroughNothing) {
    if (windowsLeg)
        GTEST_SKIP() << "links to files and FIFOs are made on Linux; Wine shows a link to a "
                        "file as the file itself";
    ScratchDir scratch;
    const std::string probe = scratch.file("veltraneTest.txt"), victim = scratch.file("victim");
    writeBytes(victim, "precious");
    const std::string fifo = FileUtils::quote(probe), woken = scratch.file("woken");
    const struct {
        const char* what;
        std::function<void()> make;
    } rows[] = {
        {"a link to a file", [&] { fs::create_symlink(victim, probe); }},
        {"a link to nothing", [&] { fs::create_symlink(scratch.file("absent"), probe); }},
        {"a second name of a file", [&] { fs::create_hard_link(victim, probe); }},
        {"a FIFO that a reader waits on, whom an open would wake",
         [&] {
             runCommand("mkfifo " + fifo + "; timeout 2 sh -c 'exec < \"$0\"; touch \"$1\"' " +
                        fifo + " " + FileUtils::quote(woken) + " >/dev/null 2>&1 & sleep 0.2");
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        row.make();
        EXPECT_FALSE(FileUtils::isWritableDirectory(scratch.path()));
        EXPECT_FALSE(fs::exists(fs::symlink_status(probe)));
        EXPECT_EQ("precious", readBytes(victim));
        EXPECT_FALSE(fs::exists(scratch.file("absent")));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(fs::exists(woken));
    EXPECT_TRUE(FileUtils::isWritableDirectory(scratch.path()));
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
        const char* what;
        std::string bytes;
        std::vector<std::string> lines;
    } rows[] = {
        {"line ends of each kind", "a\r\n\r\nb\nc\rd\r\nlast", {"a", "", "b", "c\rd", "last"}},
        {"the longest lines", longest + "\n" + longest + "\r\nend\n", {longest, longest, "end"}},
        {"a longer line ends the reading", "short\n" + longest + "y\nafter\n", {"short"}},
        {"also before a carriage return", "short\n" + longest + "y\r\nafter\n", {"short"}},
        {"also without a line end", "short\n" + longest + "yz", {"short"}},
        {"one empty line", "\n", {""}},
    };
    for (const auto& row : rows) {
        writeBytes(path, row.bytes);
        std::vector<std::string> lines{"kept"};
        FileUtils::readLines(lines, path);
        FileUtils::readLines(lines, scratch.file("missing"));
        lines.erase(lines.begin());
        EXPECT_EQ(row.lines, lines) << row.what;
    }
    writeBytes(path, "a\nb\nc\r\nd\ne");
    EXPECT_EQ("a\nb\nc\nd\ne\n", FileUtils::readFile(path));
    const std::pair<int, const char*> tails[] = {
        {2, "d\ne\n"}, {1, "e\n"}, {50, "a\nb\nc\nd\ne\n"}, {0, ""}, {-3, ""}};
    for (const auto& tail : tails)
        EXPECT_EQ(tail.second, FileUtils::tailLines(path, tail.first)) << tail.first;
    EXPECT_EQ("", FileUtils::tailLines(scratch.file("missing"), 2) +
                      FileUtils::readFile(scratch.file("missing")));
}
TEST(Files, ListingsGiveEveryMatchWithItsDirectory) {
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
    for (const std::string& none : {dir + "*.none", scratch.file("missing") + separator + '*'}) {
        EXPECT_FALSE(FileUtils::listFiles(none.c_str(), names));
        EXPECT_TRUE(names.empty());
    }
    names.push_back("stale");
    EXPECT_FALSE(FileUtils::listFiles(nullptr, names));
    EXPECT_TRUE(names.empty());
}
TEST(Files, TemporaryAndUniqueNamesAreFree) {
    ScratchDir scratch;
    const std::string data = scratch.file("data.txt");
    writeBytes(scratch.file("data_1.txt"), "");
    writeBytes(scratch.file("data_2.txt"), "");
    ASSERT_TRUE(FileUtils::makeDirectory(scratch.file("data_3.txt"), 0755)); // no file
    writeBytes(data, "");
    EXPECT_EQ(scratch.file("data_3.txt"), FileUtils::uniqueFileName(data));
    EXPECT_EQ(scratch.file("noext_1"), FileUtils::uniqueFileName(scratch.file("noext")));
    EXPECT_EQ("plain_1.txt", FileUtils::uniqueFileName("plain.txt"));
    EXPECT_EQ(windowsLeg ? "data_1.txt" : "sub/data_1.txt",
              FileUtils::uniqueFileName("sub/data.txt"));
    const std::string dir = scratch.path() + separator;
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
    for (const char* notADirectory : {static_cast<const char*>(nullptr), data.c_str()}) {
        const ScopedEnv passedOver("TMPDIR", notADirectory);
        EXPECT_EQ("/tmp/vttmp", FileUtils::tempFileName().substr(0, 10));
    }
    // Directories whose names ("/vttmp" and six characters more) reach the longest path
    // the system takes, 4095 characters, or go one beyond: a name is made where it fits.
    std::string deep = scratch.path();
    while (deep.size() < 3800)
        fs::create_directory(deep += "/" + std::string(200, 'd'));
    for (const std::size_t length : {4083u, 4084u}) {
        const std::string dir = deep + "/" + std::string(length - deep.size() - 1, 'e');
        fs::create_directory(dir);
        const ScopedEnv inside("TMPDIR", dir.c_str());
        EXPECT_EQ(length == 4083 ? 4095u : 0u, FileUtils::tempFileName().size()) << length;
    }
    const std::string longest = deep + "/" + std::string(4082 - deep.size(), 'e') + "/12345678901";
    fs::create_directory(longest);
    EXPECT_TRUE(FileUtils::isDirectory(longest + "/")) << "the longest name, and a separator";
}
TEST(Commands, ExitStatusOutputAndTheInterpreter) {
    ScratchDir scratch;
    const ScopedEnv tmp("TMP", scratch.path().c_str()), tmpdir("TMPDIR", scratch.path().c_str());
    EXPECT_EQ(3ul, runCommand("exit 3"));
    EXPECT_EQ(bothStreams, runCommandCapture(helper("both"))) << "all a failing command wrote";
    // cmd.exe's echo keeps the blanks before a redirection as part of its text.
    const std::string echoed = runCommandCapture("echo hello");
    EXPECT_EQ("hello\n", FileUtils::removeWhitespace(echoed) + echoed.back());
    EXPECT_EQ(std::string::npos, echoed.find('\r'));
    EXPECT_EQ("", runCommandCapture("exit 0"));
    std::string mebibyte;
    for (int line = 0; line < 1024; ++line)
        mebibyte += std::string(1023, static_cast<char>('a' + line % 26)) + '\n';
    EXPECT_TRUE(mebibyte == runCommandCapture(helper("mebibyte"))) << "not what was written";
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
        // POSIX: in a directory of the capture's own, which no other user may enter.
        EXPECT_EQ(scratch.path(),
                  FileUtils::dirName(windowsLeg ? captured : FileUtils::dirName(captured)));
        EXPECT_THAT(captured, EndsWith(inaccessible));
    }
    if (windowsLeg)
        GTEST_SKIP() << "COMSPEC cannot be empty in the C runtime; no death by signal on Windows";
    EXPECT_EQ(128ul + 15, runCommand("kill -TERM $$"));
    // The capture's directory, where the file its output goes to lies, is the caller's alone.
    EXPECT_EQ("700\n", runCommandCapture(
                           R"sh(sh -c 'stat -c %a "$(dirname "$(readlink /proc/$$/fd/1)")"')sh"));
    int pipe[2]; // open here and inheritable: the interpreter holds nothing but its streams
    ASSERT_TRUE(vttest::makeInheritablePipe(pipe));
    const std::string held = "\n" + runCommandCapture("ls /proc/$$/fd");
    for (int end : pipe)
        EXPECT_EQ(std::string::npos, held.find("\n" + std::to_string(end) + "\n")) << held;
    vttest::closeDescriptor(pipe[0]), vttest::closeDescriptor(pipe[1]);
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
    ASSERT_TRUE(startProgram(start + R"( plain "two words" a\"b back\\slash "end\\" "")" +
                                 "\ta\\\\\\\"b\tin\" \"side x\\" + R"( "q\"d" \\\\"e f"   )",
                             true));
    EXPECT_EQ("[plain]\n[two words]\n[a\"b]\n[back\\\\slash]\n[end\\]\n[]\n[a\\\"b]\n[in "
              "side]\n[x\\]\n[q\"d]\n[\\\\e f]\n",
              readBytes(record));
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
    vttest::withoutStandardInput([&] { // its descriptor is the first a start then takes
        EXPECT_FALSE(startProgram(scratch.file("none"), true));
        EXPECT_TRUE(startProgram(helper("exit 0"), true));
    });
    vttest::withoutFreeDescriptors([&] { EXPECT_FALSE(startProgram(helper("exit 0"), true)); });
    if (windowsLeg)
        return;
    // In order along the path, past a directory that lacks it, a file, and a directory
    // whose file cannot run.
    const ScopedEnv path(
        "PATH", (scratch.file("none") + ":" + record + ":" + first + ":" + second).c_str());
    EXPECT_TRUE(startProgram("vthelper args " + FileUtils::quote(record) + " found", true));
    EXPECT_EQ("[found]\n", readBytes(record));
    const ScopedEnv onlyFirst("PATH", first.c_str());
    EXPECT_FALSE(startProgram("vthelper x", true));
    // A file that may run but is no program ends the search, as for execvp.
    fs::permissions(first + separator + "vthelper", fs::perms::owner_all);
    const ScopedEnv both("PATH", (first + ":" + second).c_str());
    EXPECT_FALSE(startProgram("vthelper args " + FileUtils::quote(record) + " past", true));
    // Where the file commands cannot be started they fail, and change nothing.
    EXPECT_FALSE(FileUtils::removeDirectoryTree(second));
    EXPECT_EQ(-1, FileUtils::copyFile(record, record + ".copy"));
    EXPECT_EQ(-1, FileUtils::renameByCommand(record, record + ".moved"));
    EXPECT_TRUE(FileUtils::isDirectory(second) && FileUtils::isFile(record));
}
// A program that runs on past the short wait, started while the caller holds a
// pipe, also above the descriptor limit: no process of startProgram holds it.
void startsShortWaitingAndHoldingNothing() {
    ScratchDir scratch;
    const std::string stop = scratch.file("stop");
    int pipe[2];
    ASSERT_TRUE(vttest::makeInheritablePipe(pipe));
    const int high = vttest::copyAboveDescriptorLimit(pipe[1]);
    const Clock::time_point start = Clock::now();
    ASSERT_TRUE(startProgram(helper("wait-for " + FileUtils::quote(stop)), false));
    vttest::restoreDescriptorLimit();
    EXPECT_GE(millisecondsSince(start), 90) << "the short wait";
    EXPECT_TRUE(appears(stop + ".started"));
    EXPECT_FALSE(FileUtils::isFile(stop + ".done")) << "returned while the program runs";
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
TEST(Commands, AProgramNotWaitedForGetsAShortWaitAndKeepsNothingOfTheCaller) {
    startsShortWaitingAndHoldingNothing();
}
TEST(Commands, DescriptorsAreClosedOneByOneWhereTheKernelRefusesToInBulk) {
    if (windowsLeg)
        GTEST_SKIP() << "a Windows program inherits no descriptor it is not given";
    // The child ends with 3 when every check held: a start that ended it (with 0) shows.
    EXPECT_EXIT(
        {
            if (vttest::refuseBulkClose())
                startsShortWaitingAndHoldingNothing();
            std::exit(::testing::Test::HasFailure() || !vttest::refuseBulkClose() ? 1 : 3);
        },
        ::testing::ExitedWithCode(3), "");
}
// Also through an errno of EINTR that an earlier call of the host left behind.
TEST(Commands, WaitsGoOnThroughSignals) {
    Clock::time_point start = Clock::now();
    errno = EINTR;
    sleepSeconds(0);
    EXPECT_LT(millisecondsSince(start), 500);
    errno = EINTR;
    EXPECT_EQ(3ul, runCommand("exit 3"));
    errno = EINTR;
    EXPECT_TRUE(startProgram(helper("exit 0"), true));
    start = Clock::now();
    const bool signals = vttest::interruptAfter(200);
    sleepSeconds(1);
    EXPECT_GE(millisecondsSince(start), 950);
    if (!signals)
        GTEST_SKIP() << "no signals on Windows";
    vttest::interruptAfter(200);
    EXPECT_EQ(3ul, runCommand("sleep 0.5; exit 3"));
    vttest::interruptAfter(200);
    EXPECT_EQ("x\n", runCommandCapture("sleep 0.5; echo x"));
    vttest::interruptAfter(200, true); // also the process that waits for the program
    start = Clock::now();
    EXPECT_TRUE(startProgram("sleep 0.5", true));
    EXPECT_GE(millisecondsSince(start), 450);
    std::string longPath; // so long to search that signals land in the wait for the outcome
    for (int i = 0; i < 40000; ++i)
        longPath += "/n:";
    const ScopedEnv path("PATH", (longPath + FileUtils::programDirectory()).c_str());
    for (int after = 50; after < 300; after += 25)
        vttest::interruptAfter(after);
    EXPECT_TRUE(startProgram("files_helper exit 0", true));
    vttest::interruptAfter(50);
    EXPECT_FALSE(startProgram("no-such-program-anywhere", true));
}
// A termination request sent to the process that waits for the program (as Ctrl-C
// or a service manager sends it to every process) runs none of the caller's handlers
// there and does not end the wait before the program ends.
TEST(Commands, AWaitingStartRunsNoneOfTheCallersHandlers) {
    if (windowsLeg)
        GTEST_SKIP() << "a Windows start has no copy of the caller waiting in between";
    ScratchDir scratch;
    const std::string stop = scratch.file("stop"), record = scratch.file("handled");
    ASSERT_TRUE(vttest::recordTerminations(record));
    std::thread requester([&] {
        if (appears(stop + ".started")) // the waiting process is in its wait
            vttest::terminateChildren();
        FileUtils::writeFile("", stop);
    });
    EXPECT_TRUE(startProgram(helper("wait-for " + FileUtils::quote(stop)), true));
    const bool ended = FileUtils::isFile(stop + ".done");
    requester.join();
    vttest::restoreTermination();
    EXPECT_TRUE(ended) << "returned while the program ran";
    EXPECT_EQ("", readBytes(record)) << "the caller's handler ran in these processes";
}
TEST(Commands, ManyRunsLeaveNothingOpen) {
    ScratchDir scratch;
    const ScopedEnv tmp("TMP", scratch.path().c_str()), tmpdir("TMPDIR", scratch.path().c_str());
    const std::string file = scratch.file("data.txt");
    long before = 0;
    for (int turn = 0; turn < (vttest::runningUnderWine() ? 20 : 200) && !HasFailure(); ++turn) {
        if (turn == 3) // after the first uses, which may open what the runtime keeps
            before = vttest::openHandleCount();
        EXPECT_EQ(bothStreams, runCommandCapture(helper("both")));
        EXPECT_EQ(turn % 3 != 2,
                  startProgram(turn % 3 == 2 ? file : helper("exit 0"), turn % 3 == 0));
        FileUtils::writeFile("a\nb\n", file);
        EXPECT_EQ("b\n", FileUtils::tailLines(file, 1));
        EXPECT_TRUE(FileUtils::isWritableDirectory(scratch.path()));
        EXPECT_EQ(3u, listed(scratch.file("*")).size());
    }
    EXPECT_NEAR(before, vttest::openHandleCount(), vttest::handleCountDrift());
}
} // namespace
