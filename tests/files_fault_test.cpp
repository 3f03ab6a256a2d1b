// Files and commands when the file system does not cooperate: a volume out of
// space or inodes, directories that take no new files, a directory emptied while
// it is listed, and a thousand command runs that must leave nothing open.
#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/FilesTestSupport.h"
#include "support/ReliabilitySupport.h"
#include "support/TestSupport.h"
#include "vtsupport/files/FileUtils.h"
#include "vtsupport/files/Process.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const std::string bothStreams = "to stdout\nto stderr\n";
const std::string inaccessible = " is not accessible.";

using vttest::helperCommand;
using vttest::TemporaryFilesIn;

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::vector<std::string> listed(const std::string& pattern) {
    std::vector<std::string> names;
    FileUtils::listFiles(pattern.c_str(), names);
    return names;
}

// What a directory that takes no new files must answer: no probe success, a
// write that reports true and creates nothing, a capture that names its output
// file as not accessible.
void expectNoNewFiles(const std::string& dir) {
    SCOPED_TRACE(dir);
    const std::string file = dir + vttest::separator() + "vt-new.txt";
    EXPECT_FALSE(FileUtils::isWritableDirectory(dir));
    EXPECT_TRUE(FileUtils::writeFile("lost", file));
    EXPECT_FALSE(FileUtils::isFile(file));
    const TemporaryFilesIn temporaries(dir);
    const std::string captured = runCommandCapture(helperCommand("both"));
    EXPECT_TRUE(endsWith(captured, inaccessible)) << captured;
}

bool isPrefix(const std::string& part, const std::string& whole) {
    return whole.compare(0, part.size(), part) == 0;
}

TEST(FilesFaults, FullVolumeLosesDataQuietlyAndRefusesProbesWhenOutOfInodes) {
    vttest::ScratchDir scratch;
    vttest::SmallVolume volume(scratch.path(), "size=64k,nr_inodes=8");
    if (!volume.mounted())
        GTEST_SKIP() << volume.reason();
    const std::string dir = volume.path();
    const long handlesBefore = vttest::openHandleMark();

    // Out of space: what does not fit is lost, and writeFile still answers true.
    const std::string big(256 * 1024, 'x');
    EXPECT_TRUE(FileUtils::writeFile(big, dir + "/filler"));
    const std::string kept = vttest::readWholeFile(dir + "/filler");
    EXPECT_LT(kept.size(), big.size());
    EXPECT_TRUE(isPrefix(kept, big));
    // A file without content still fits, so the probe succeeds and is removed.
    EXPECT_TRUE(FileUtils::isWritableDirectory(dir));
    EXPECT_FALSE(FileUtils::isFile(dir + "/veltraneTest.txt"));
    {
        const TemporaryFilesIn temporaries(dir);
        EXPECT_TRUE(isPrefix(runCommandCapture(helperCommand("both")), bothStreams));
    }
    EXPECT_TRUE(listed(dir + "/vttmp*").empty()) << "the capture file is removed";

    // Out of inodes too: no file can be created at all.
    for (int i = 0; i < 16; ++i)
        FileUtils::writeFile("", dir + "/empty" + std::to_string(i));
    ASSERT_FALSE(FileUtils::isFile(dir + "/empty15"));
    expectNoNewFiles(dir);
    EXPECT_EQ(handlesBefore, vttest::openHandleMark());
}

TEST(FilesFaults, DirectoriesThatTakeNoNewFiles) {
    std::vector<std::string> dirs;
#ifdef _WIN32
    if (!vttest::runningUnderWine())
        GTEST_SKIP() << "no directory is known to refuse new files on this Windows host";
    dirs.push_back("Z:\\proc"); // /proc takes no new files, whoever asks
#else
    dirs.push_back("/proc");
    vttest::ScratchDir scratch;
    vttest::SmallVolume volume(scratch.path(), "size=64k");
    if (volume.makeReadOnly())
        dirs.push_back(volume.path());
    const std::string locked = scratch.file("locked");
    if (::geteuid() != 0 && ::mkdir(locked.c_str(), 0555) == 0)
        dirs.push_back(locked); // root writes there all the same
#endif
    for (const std::string& dir : dirs) {
        ASSERT_TRUE(FileUtils::isDirectory(dir)) << dir;
        expectNoNewFiles(dir);
    }
}

TEST(FilesFaults, FilesRemovedWhileTheDirectoryIsListed) {
    vttest::ScratchDir scratch;
    std::set<std::string> made;
    for (int i = 0; i < 1000; ++i) {
        const std::string name = scratch.file("f" + std::to_string(i));
        FileUtils::writeFile("", name);
        made.insert(name);
    }
    const std::string pattern = scratch.file("f*");
    ASSERT_EQ(made.size(), listed(pattern).size());
    // The remover starts once the first listing has, so the two always overlap.
    std::atomic<bool> listing{false};
    std::atomic<bool> removing{true};
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
    std::vector<std::string> names{"stale"};
    EXPECT_FALSE(FileUtils::listFiles(pattern.c_str(), names));
    EXPECT_TRUE(names.empty());
}

TEST(FilesFaults, AThousandCommandRunsLeaveNothingOpen) {
    // Under Wine every run starts cmd.exe, about half a second: 40 runs keep the
    // leg's time sane there.
    const int runs = vttest::runningUnderWine() ? 40 : 1000;
    vttest::ScratchDir scratch;
    const TemporaryFilesIn temporaries(scratch.path());
    // The interpreters' own commands only: what is counted is the library's part.
    // cmd's echo also writes the blanks that stand before the redirection.
    auto run = [&](int turn) {
        if (turn % 2 == 0) {
            EXPECT_EQ(3u, runCommand("exit 3"));
        } else {
            std::string captured = runCommandCapture("echo captured");
            captured.erase(std::remove(captured.begin(), captured.end(), ' '), captured.end());
            EXPECT_EQ("captured\n", captured);
        }
    };
    for (int turn = 0; turn < 4; ++turn)
        run(turn); // first uses may open what the runtime keeps for later
    const long before = vttest::openHandleMark();
    for (int turn = 0; turn < runs && !HasFailure(); ++turn)
        run(turn);
    EXPECT_EQ(before, vttest::openHandleMark());
    EXPECT_TRUE(listed(scratch.file("vtt*")).empty()); // Wine keeps "vtt" of the prefix
}

} // namespace
