#include "vtsupport/files/FileUtils.h"
#include "vtsupport/files/Process.h"

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/FilesTestSupport.h"
#include "support/TestSupport.h"

namespace {

using vttest::native;

#ifdef _WIN32
const bool windowsLeg = true;
#else
const bool windowsLeg = false;
#endif

// Writes exact bytes, whatever the system's text mode would make of them.
void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> sortedListing(const std::string& pattern) {
    std::vector<std::string> names;
    FileUtils::listFiles(pattern.c_str(), names);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> lines(const std::string& path) {
    std::vector<std::string> result;
    FileUtils::readLines(result, path);
    return result;
}

TEST(FileUtilsPaths, NormalizeAndStripUseTheNativeSeparator) {
    if (windowsLeg) {
        EXPECT_EQ("C:\\a\\b\\c\\", FileUtils::normalizePath("C:/a//b\\\\/c/"));
        EXPECT_EQ("\\server\\share", FileUtils::normalizePath("\\\\server\\share"));
        EXPECT_EQ("\\x", FileUtils::normalizePath("//x"));
    } else {
        EXPECT_EQ("/a/b/c/", FileUtils::normalizePath("/a//b///c//"));
        EXPECT_EQ("/x", FileUtils::normalizePath("//x"));
        EXPECT_EQ("a\\\\b", FileUtils::normalizePath("a\\\\b"));
    }
    EXPECT_EQ("", FileUtils::normalizePath(""));
    EXPECT_EQ("", FileUtils::stripTrailingBackslash(""));
    EXPECT_EQ(native("a\\"), FileUtils::stripTrailingBackslash(native("a\\\\")));
    EXPECT_EQ("", FileUtils::stripTrailingBackslash(native("\\")));
    EXPECT_EQ("abc", FileUtils::stripTrailingBackslash("abc"));
}

TEST(FileUtilsPaths, QuoteAndRemoveWhitespace) {
    struct Row {
        const char* text;
        const char* windows;
        const char* posix; // the shell's expanding characters escaped
    };
    const Row rows[] = {
        {"", "", ""},
        {"a b", "\"a b\"", "\"a b\""},
        {"\"x", "\"x", "\"x"},
        {"x\"", "\"x\"\"", "\"x\"\""},
        {"%PATH% $HOME", "\"%PATH% $HOME\"", "\"%PATH% \\$HOME\""},
        {"\"$(id)\" `id` a\\b", "\"$(id)\" `id` a\\b", "\"\\\"\\$(id)\\\" \\`id\\` a\\\\b\""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(windowsLeg ? row.windows : row.posix, FileUtils::quote(row.text)) << row.text;
    const std::string withNul("$\0", 2);
    EXPECT_EQ(windowsLeg ? '"' + withNul + '"' : "\"\\" + withNul + '"', FileUtils::quote(withNul));
    EXPECT_EQ("abc", FileUtils::removeWhitespace(" a\tb\r\nc "));
    EXPECT_EQ("a\vb\fc", FileUtils::removeWhitespace("a\vb\fc"));
    EXPECT_EQ("", FileUtils::removeWhitespace(" \t\r\n"));
}

TEST(FileUtilsPaths, BaseNameDirNameAndExtension) {
    EXPECT_EQ("file.txt", FileUtils::baseName(native("C:\\dir\\file.txt")));
    EXPECT_EQ("file", FileUtils::baseName("file"));
    EXPECT_EQ("", FileUtils::baseName(native("dir\\")));
    EXPECT_EQ(native("C:\\dir"), FileUtils::dirName(native("C:\\dir\\file.txt")));
    EXPECT_EQ("", FileUtils::dirName(native("\\file")));
    EXPECT_EQ("", FileUtils::dirName("file"));
    if (windowsLeg) {
        // After a forward slash a backslash is part of the name; dirName ignores '/'.
        EXPECT_EQ("b\\c", FileUtils::baseName("a/b\\c"));
        EXPECT_EQ("a", FileUtils::dirName("a\\b/c"));
        EXPECT_EQ("", FileUtils::dirName("a/b"));
    } else {
        // A backslash is an ordinary character here.
        EXPECT_EQ("a\\b", FileUtils::baseName("a\\b"));
        EXPECT_EQ("", FileUtils::dirName("a\\b"));
    }
    using Split = std::pair<std::string, std::string>;
    EXPECT_EQ(Split("name", ""), FileUtils::splitExtension("name"));
    EXPECT_EQ(Split("", ""), FileUtils::splitExtension(""));
    EXPECT_EQ(Split("a.b", ".c"), FileUtils::splitExtension("a.b.c"));
    EXPECT_EQ(Split("end", "."), FileUtils::splitExtension("end."));
    EXPECT_EQ(Split("", ".hidden"), FileUtils::splitExtension(".hidden"));
}

TEST(FileUtilsStatus, KindsAndTrailingSeparator) {
    vttest::ScratchDir scratch;
    const std::string file = scratch.file("f.txt");
    writeBytes(file, "x");
    EXPECT_TRUE(FileUtils::isFile(file));
    EXPECT_FALSE(FileUtils::isFile(scratch.path()));
    EXPECT_FALSE(FileUtils::isFile(scratch.file("missing")));
    EXPECT_TRUE(FileUtils::isDirectory(scratch.path()));
    EXPECT_TRUE(FileUtils::isDirectory(scratch.path() + vttest::separator()));
    EXPECT_FALSE(FileUtils::isDirectory(file));
    EXPECT_FALSE(FileUtils::isDirectory(scratch.file("missing")));
    EXPECT_FALSE(FileUtils::isDirectory(""));
    if (!windowsLeg) {
        EXPECT_TRUE(FileUtils::isDirectory("/"));
    }
}

TEST(FileUtilsStatus, WritableDirectoryProbeLeavesNothing) {
    vttest::ScratchDir scratch;
    const std::string probe = scratch.file("veltraneTest.txt");
    EXPECT_TRUE(FileUtils::isWritableDirectory(scratch.path()));
    EXPECT_FALSE(FileUtils::isFile(probe));
    writeBytes(probe, "left over");
    EXPECT_TRUE(FileUtils::isWritableDirectory(scratch.path()));
    EXPECT_FALSE(FileUtils::isFile(probe)) << "an earlier probe file is truncated and removed";
    writeBytes(scratch.file("plain"), "x");
    EXPECT_FALSE(FileUtils::isWritableDirectory(scratch.file("plain")));
    EXPECT_FALSE(FileUtils::isWritableDirectory(scratch.file("missing")));
    // /proc takes no new files, whoever asks (these tests may run as root).
    if (windowsLeg && !vttest::runningUnderWine())
        GTEST_SKIP() << "no directory is known to refuse new files on this Windows host";
    const std::string proc = windowsLeg ? "Z:\\proc" : "/proc";
    ASSERT_TRUE(FileUtils::isDirectory(proc));
    EXPECT_FALSE(FileUtils::isWritableDirectory(proc));
}

TEST(FileUtilsChanges, MakeAndRemove) {
    vttest::ScratchDir scratch;
    const std::string dir = scratch.file("new");
    EXPECT_TRUE(FileUtils::makeDirectory(dir, 0755));
    EXPECT_TRUE(FileUtils::isDirectory(dir));
    EXPECT_FALSE(FileUtils::makeDirectory(dir, 0755));
    EXPECT_FALSE(FileUtils::makeDirectory(native(scratch.file("no\\parent")), 0755));

    const std::string file = scratch.file("f.txt");
    writeBytes(file, "x");
    EXPECT_EQ(0, FileUtils::removeFile(file));
    EXPECT_FALSE(FileUtils::isFile(file));
    EXPECT_EQ(-1, FileUtils::removeFile(file));
    EXPECT_EQ(-1, FileUtils::removeFile(dir));

    const std::string empty = scratch.file("empty.txt");
    const std::string full = scratch.file("full.txt");
    writeBytes(empty, "");
    writeBytes(full, "content");
    EXPECT_EQ(0, FileUtils::removeIfEmpty(empty));
    EXPECT_FALSE(FileUtils::isFile(empty));
    EXPECT_EQ(0, FileUtils::removeIfEmpty(full));
    EXPECT_TRUE(FileUtils::isFile(full));
    EXPECT_EQ(0, FileUtils::removeIfEmpty(scratch.file("missing")));
}

TEST(FileUtilsChanges, RemoveDirectoryTreeThroughTheInterpreter) {
    vttest::ScratchDir scratch;
    const std::string tree = scratch.file("tree");
    ASSERT_TRUE(FileUtils::makeDirectory(tree, 0755));
    ASSERT_TRUE(FileUtils::makeDirectory(native(tree + "\\sub"), 0755));
    writeBytes(native(tree + "\\sub\\deep.txt"), "x");
    writeBytes(native(tree + "\\top.txt"), "y");
    EXPECT_TRUE(FileUtils::removeDirectoryTree(tree));
    EXPECT_FALSE(FileUtils::isDirectory(tree));

    const std::string file = scratch.file("file.txt");
    writeBytes(file, "x");
    EXPECT_FALSE(FileUtils::removeDirectoryTree(file));
    EXPECT_TRUE(FileUtils::isFile(file));
    EXPECT_FALSE(FileUtils::removeDirectoryTree(scratch.file("missing")));
}

TEST(FileUtilsChanges, RenameThroughRuntimeAndInterpreter) {
    vttest::ScratchDir scratch;
    const std::string a = scratch.file("a.txt");
    const std::string b = scratch.file("b.txt");
    const std::string c = scratch.file("c.txt");
    writeBytes(a, "content");
    EXPECT_EQ(1, FileUtils::renameFile(a, b));
    EXPECT_FALSE(FileUtils::isFile(a));
    EXPECT_EQ("content", vttest::readWholeFile(b));
    EXPECT_EQ(0, FileUtils::renameFile(a, c));

    // ren takes a bare new name in the source's directory; mv takes a path.
    EXPECT_EQ(0, FileUtils::renameByCommand(b, windowsLeg ? "c.txt" : c));
    EXPECT_FALSE(FileUtils::isFile(b));
    EXPECT_EQ("content", vttest::readWholeFile(c));
    // Equal names run nothing, so even a missing file "renames" fine.
    EXPECT_EQ(0, FileUtils::renameByCommand(scratch.file("none"), scratch.file("none")));
}

TEST(FileUtilsChanges, RenameByCommandReportsFailure) {
    if (vttest::runningUnderWine())
        GTEST_SKIP() << "Wine's cmd.exe answers 0 when ren fails";
    vttest::ScratchDir scratch;
    const std::string target = windowsLeg ? "x.txt" : scratch.file("x.txt");
    EXPECT_EQ(-1, FileUtils::renameByCommand(scratch.file("none"), target));
}

TEST(FileUtilsChanges, CopyThroughTheInterpreterWithQuotedPaths) {
    vttest::ScratchDir scratch;
    const std::string dir = scratch.file("with blank");
    ASSERT_TRUE(FileUtils::makeDirectory(dir, 0755));
    const std::string from = native(dir + "\\source file.txt");
    const std::string to = native(dir + "\\copy.txt");
    writeBytes(from, "line 1\nline 2\n");
    EXPECT_EQ(0, FileUtils::copyFile(FileUtils::quote(from), FileUtils::quote(to)));
    EXPECT_EQ("line 1\nline 2\n", vttest::readWholeFile(to));
    EXPECT_TRUE(FileUtils::isFile(from));
    EXPECT_EQ(-1, FileUtils::copyFile(scratch.file("missing"), scratch.file("target")));
    EXPECT_FALSE(FileUtils::isFile(scratch.file("target")));
}

TEST(FileUtilsPaths, QuotedTextReachesTheShellUnchanged) {
    if (windowsLeg)
        GTEST_SKIP() << "cmd.exe keeps the quotes and expands %; quote only groups there";
    const std::string texts[] = {"$(echo injected)", "a`echo b`c", "back\\slash \\\"",
                                 "\"$HOME\" and ${HOME}", "tab\there; exit 3"};
    for (const std::string& text : texts)
        EXPECT_EQ(text + "\n", runCommandCapture("printf '%s\\n' " + FileUtils::quote(text)));
}

// Names that an interpreter would take for commands are copied, renamed and
// removed as names: nothing they spell runs.
TEST(FileUtilsChanges, HostileNamesRunNothing) {
    vttest::ScratchDir scratch;
    std::vector<std::string> names = {"a;mkdir ran", "$(mkdir ran)", "`mkdir ran`", "x & mkdir ran",
                                      "b'$(mkdir ran)'"};
    if (!windowsLeg)
        names.push_back("c\"; mkdir ran; \"\\$(mkdir ran)");
    for (const std::string& name : names) {
        const std::string from = scratch.file(name);
        const std::string copy = scratch.file("copy " + name);
        writeBytes(from, "hostile");
        EXPECT_EQ(0, FileUtils::copyFile(FileUtils::quote(from), FileUtils::quote(copy))) << name;
        EXPECT_EQ("hostile", vttest::readWholeFile(copy)) << name;
        const std::string moved = scratch.file("moved " + name);
        EXPECT_EQ(
            0, FileUtils::renameByCommand(FileUtils::quote(copy),
                                          FileUtils::quote(windowsLeg ? "moved " + name : moved)))
            << name;
        EXPECT_TRUE(FileUtils::isFile(moved)) << name;

        // Windows hands the directory to RMDIR as it stands, blanks and all.
        if (windowsLeg)
            continue;
        const std::string tree = scratch.file("tree " + name);
        ASSERT_TRUE(FileUtils::makeDirectory(tree, 0755)) << name;
        writeBytes(native(tree + "\\inside"), "x");
        EXPECT_TRUE(FileUtils::removeDirectoryTree(tree)) << name;
        EXPECT_FALSE(FileUtils::isDirectory(tree)) << name;
        EXPECT_TRUE(FileUtils::isFile(from)) << name;
    }
    EXPECT_FALSE(FileUtils::isDirectory("ran")); // where the commands ran
}

TEST(FileUtilsText, WriteInTextModeAndReadBack) {
    vttest::ScratchDir scratch;
    const std::string path = scratch.file("text.txt");
    EXPECT_TRUE(FileUtils::writeFile("one\ntwo", path));
    EXPECT_EQ(windowsLeg ? "one\r\ntwo" : "one\ntwo", vttest::readWholeFile(path));
    EXPECT_EQ("one\ntwo\n", FileUtils::readFile(path));
    EXPECT_TRUE(FileUtils::writeFile("x", path));
    EXPECT_EQ("x", vttest::readWholeFile(path)) << "truncated";
    EXPECT_TRUE(FileUtils::writeFile("lost", native(scratch.file("missing\\file.txt"))));
    EXPECT_FALSE(FileUtils::isDirectory(scratch.file("missing")));
    EXPECT_EQ("", FileUtils::readFile(scratch.file("missing.txt")));
}

TEST(FileUtilsText, ReadLinesLineEndsAndTheLengthLimit) {
    vttest::ScratchDir scratch;
    const std::string path = scratch.file("lines.txt");
    writeBytes(path, "a\r\n\r\nb\nlast");
    std::vector<std::string> appended{"kept"};
    FileUtils::readLines(appended, path);
    EXPECT_EQ((std::vector<std::string>{"kept", "a", "", "b", "last"}), appended);
    FileUtils::readLines(appended, scratch.file("missing"));
    EXPECT_EQ(5u, appended.size());

    const std::string longest(1023, 'x');
    writeBytes(path, longest + "\n" + longest + "\r\nend\n");
    EXPECT_EQ((std::vector<std::string>{longest, longest, "end"}), lines(path));
    writeBytes(path, "short\n" + std::string(1024, 'y') + "\nafter\n");
    EXPECT_EQ(std::vector<std::string>{"short"}, lines(path));
    writeBytes(path, "short\n" + std::string(5000, 'y'));
    EXPECT_EQ(std::vector<std::string>{"short"}, lines(path));
    writeBytes(path, "");
    EXPECT_TRUE(lines(path).empty());
}

TEST(FileUtilsText, TailLines) {
    vttest::ScratchDir scratch;
    const std::string path = scratch.file("tail.txt");
    writeBytes(path, "a\nb\nc\nd\ne");
    EXPECT_EQ("d\ne\n", FileUtils::tailLines(path, 2));
    EXPECT_EQ("a\nb\nc\nd\ne\n", FileUtils::tailLines(path, 5));
    EXPECT_EQ("a\nb\nc\nd\ne\n", FileUtils::tailLines(path, 50));
    EXPECT_EQ("", FileUtils::tailLines(path, 0));
    EXPECT_EQ("", FileUtils::tailLines(path, -3));
    EXPECT_EQ("", FileUtils::tailLines(scratch.file("missing"), 2));
}

TEST(FileUtilsNames, ListFilesWithTheDirectoryInFront) {
    vttest::ScratchDir scratch;
    writeBytes(scratch.file("a.txt"), "");
    writeBytes(scratch.file("b.txt"), "");
    writeBytes(scratch.file("c.log"), "");
    ASSERT_TRUE(FileUtils::makeDirectory(scratch.file("sub"), 0755));
    const std::string dir = scratch.path() + vttest::separator();

    std::vector<std::string> names{"stale"};
    EXPECT_TRUE(FileUtils::listFiles((dir + "*.txt").c_str(), names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{dir + "a.txt", dir + "b.txt"}), names);
    EXPECT_EQ((std::vector<std::string>{dir + ".", dir + "..", dir + "a.txt", dir + "b.txt",
                                        dir + "c.log", dir + "sub"}),
              sortedListing(dir + "*"));
    EXPECT_EQ(std::vector<std::string>{dir + "sub"}, sortedListing(dir + "s?b"));

    names = {"stale"};
    EXPECT_FALSE(FileUtils::listFiles((dir + "*.none").c_str(), names));
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(FileUtils::listFiles(native(scratch.file("missing\\*")).c_str(), names));
    EXPECT_TRUE(names.empty());
}

TEST(FileUtilsNames, TemporaryAndUniqueNames) {
    vttest::ScratchDir scratch;
    vttest::ScopedEnv tmp("TMP", scratch.path().c_str());
    vttest::ScopedEnv tmpdir("TMPDIR", scratch.path().c_str());
    const std::string temp = FileUtils::tempFileName();
    EXPECT_EQ(scratch.path(), FileUtils::dirName(temp));
    // Wine's _tempnam keeps only the first three characters of the prefix.
    const std::string prefix = vttest::runningUnderWine() ? "vtt" : "vttmp";
    EXPECT_EQ(prefix, FileUtils::baseName(temp).substr(0, prefix.size())) << temp;
    EXPECT_FALSE(FileUtils::isFile(temp)) << "the name is not reserved";

    const std::string data = scratch.file("data.txt");
    EXPECT_EQ(scratch.file("data_1.txt"), FileUtils::uniqueFileName(data));
    writeBytes(scratch.file("data_1.txt"), "");
    writeBytes(scratch.file("data_2.txt"), "");
    ASSERT_TRUE(FileUtils::makeDirectory(scratch.file("data_3.txt"), 0755));
    EXPECT_EQ(scratch.file("data_3.txt"), FileUtils::uniqueFileName(data))
        << "a directory does not take the name";
    EXPECT_EQ(scratch.file("noext_1"), FileUtils::uniqueFileName(scratch.file("noext")));
    EXPECT_EQ("plain_1.txt", FileUtils::uniqueFileName("plain.txt"));
    // A directory part written with the alternative separator is not kept.
    EXPECT_EQ(windowsLeg ? "data_1.txt" : "sub/data_1.txt",
              FileUtils::uniqueFileName("sub/data.txt"));
    if (!windowsLeg) {
        vttest::ScopedEnv root("TMPDIR", "/");
        const std::string inRoot = FileUtils::tempFileName();
        EXPECT_EQ("/vttmp", inRoot.substr(0, 6)) << "one separator after the root: " << inRoot;
    }
}

TEST(FileUtilsNames, ProgramDirectoryHoldsTheTestProgram) {
    const std::string dir = FileUtils::programDirectory();
    EXPECT_TRUE(FileUtils::isDirectory(dir)) << dir;
    EXPECT_NE(vttest::separator(), dir.back());
    EXPECT_TRUE(FileUtils::isFile(dir + vttest::separator() +
                                  (windowsLeg ? "files_test.exe" : "files_test")))
        << dir;
}

} // namespace
