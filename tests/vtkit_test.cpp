// End-to-end: the built vtkit, run through the library's own command runner.
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "support/TestSupport.h"
#include "vtsupport/files/FileUtils.h"
#include "vtsupport/files/Process.h"
#include "vtsupport/text/SimpleDOM.h"

namespace {

#ifdef _WIN32
const char separator = '\\';
const char* const executableSuffix = ".exe";
#else
const char separator = '/';
const char* const executableSuffix = "";
#endif

// cmd.exe /c drops the first and the last double quote of a line that starts with
// one, so there the whole line goes inside one more pair.
std::string shellLine(const std::string& line) {
#ifdef _WIN32
    return "\"" + line + "\"";
#else
    return line;
#endif
}

struct Outcome {
    unsigned long status;
    std::string out;
    std::string err;
};

// Runs vtkit (beside this program) with `args`, keeping its two output streams apart.
Outcome vtkit(const vttest::ScratchDir& dir, const std::string& args) {
    const std::string tool = FileUtils::programDirectory() + separator + "vtkit" + executableSuffix;
    const std::string out = dir.file("out.txt");
    const std::string err = dir.file("err.txt");
    const unsigned long status =
        runCommand(shellLine(FileUtils::quote(tool) + " " + args + " > " + FileUtils::quote(out) +
                             " 2> " + FileUtils::quote(err)));
    return {status, vttest::readWholeFile(out), vttest::readWholeFile(err)};
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST(VtkitTest, TourShowsEverySection) {
    vttest::ScratchDir dir;
    const Outcome tour = vtkit(dir, "");
    EXPECT_EQ(0u, tour.status) << tour.err;
    for (const char* section :
         {"== Diagnostics ==", "== Text reading ==", "== Processor topology ==", "== Networking ==",
          "== Files and processes =="})
        EXPECT_NE(std::string::npos, tour.out.find(section)) << section;
    EXPECT_NE(std::string::npos, tour.out.find("received: hello over a length-prefixed frame"));
    EXPECT_NE(std::string::npos, tour.out.find("captured: hello from the command interpreter"));
    EXPECT_NE(std::string::npos,
              tour.out.find("    <file path=\"/home/ada/report.xml\">report</file>\n"));
}

TEST(VtkitTest, XmlFmtWritesTheWritersBytes) {
    vttest::ScratchDir dir;
    const std::string document =
        "<?xml version=\"1.0\"?>\n<a z=\"9\" y=\"8\">\n <b>t</b>\n <c/>\n</a>\n";
    writeText(dir.file("in.xml"), document);
    std::istringstream in(document);
    SimpleDOM::Node* root = SimpleDOM::parse(in, false);
    std::ostringstream flat;
    std::ostringstream lines;
    SimpleDOM::write(flat, root, false);
    SimpleDOM::write(lines, root, true);
    SimpleDOM::deleteTree(root);

    const Outcome plain = vtkit(dir, "xml fmt " + FileUtils::quote(dir.file("in.xml")));
    EXPECT_EQ(0u, plain.status) << plain.err;
    EXPECT_EQ(flat.str(), plain.out);
    const Outcome split =
        vtkit(dir, "xml fmt " + FileUtils::quote(dir.file("in.xml")) + " --attributes-on-lines");
    EXPECT_EQ(lines.str(), split.out);

    const Outcome find = vtkit(dir, "xml find " + FileUtils::quote(dir.file("in.xml")) + " b");
    EXPECT_EQ("b\t/a\t\tt\n", find.out);
}

TEST(VtkitTest, BadInputGetsOneLineAndItsOwnStatus) {
    vttest::ScratchDir dir;
    writeText(dir.file("bad.xml"), "<a>\n<b>1 > 0</b></a>");

    const Outcome missing = vtkit(dir, "xml fmt " + FileUtils::quote(dir.file("absent.xml")));
    EXPECT_EQ(4u, missing.status);
    EXPECT_NE(std::string::npos, missing.err.find("cannot open")) << missing.err;
    EXPECT_EQ("", missing.out);

    const Outcome malformed = vtkit(dir, "xml fmt " + FileUtils::quote(dir.file("bad.xml")));
    EXPECT_EQ(5u, malformed.status);
    EXPECT_NE(std::string::npos, malformed.err.find(":2: Document not well-formed. (>)"))
        << malformed.err;
    EXPECT_EQ("", malformed.out) << "nothing half-written";

    const Outcome unknown = vtkit(dir, "frobnicate");
    EXPECT_EQ(2u, unknown.status);
    EXPECT_NE(std::string::npos, unknown.err.find("unknown command 'frobnicate'"));

    const Outcome port = vtkit(dir, "frame send localhost http hello");
    EXPECT_EQ(3u, port.status);
    EXPECT_NE(std::string::npos, port.err.find("PORT must be a number, not 'http'"));

    const Outcome absent = vtkit(dir, "frame send 127.0.0.1 1 hello");
    EXPECT_EQ(6u, absent.status);
    EXPECT_NE(std::string::npos, absent.err.find("Error: Cannot connect() to: 127.0.0.1 port: 1"))
        << absent.err;
}

TEST(VtkitTest, FrameSendRoundTripsThroughFrameEcho) {
    vttest::ScratchDir dir;
    const std::string tool = FileUtils::programDirectory() + separator + "vtkit" + executableSuffix;
    const std::string echoOut = dir.file("echo.txt");
    std::thread echo([&] {
        runCommand(shellLine(FileUtils::quote(tool) + " frame echo 0 --count 2 > " +
                             FileUtils::quote(echoOut)));
    });
    std::string port;
    for (int i = 0; i < 200 && port.empty(); ++i) {
        const std::string text = vttest::readWholeFile(echoOut);
        const std::size_t colon = text.find("127.0.0.1:");
        const std::size_t end = text.find('\n', colon == std::string::npos ? 0 : colon);
        if (colon != std::string::npos && end != std::string::npos)
            port = text.substr(colon + 10, end - colon - 10);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_FALSE(port.empty()) << "the echo peer never said where it listens";
    const Outcome first = vtkit(dir, "frame send localhost " + port + " \"one frame\"");
    const Outcome second = vtkit(dir, "frame send 127.0.0.1 " + port + " two");
    echo.join();
    EXPECT_EQ(0u, first.status) << first.err;
    EXPECT_EQ("one frame\n", first.out);
    EXPECT_EQ("two\n", second.out);
    EXPECT_NE(std::string::npos, vttest::readWholeFile(echoOut).find("echoed 2 messages"));
}

TEST(VtkitTest, RunEnvAndLs) {
    vttest::ScratchDir dir;
    const Outcome run = vtkit(dir, "run \"exit 3\"");
    EXPECT_EQ(0u, run.status);
    EXPECT_NE(std::string::npos, run.out.find("exit status: 3")) << run.out;

    vttest::setEnv("VTKIT_TEST_VARIABLE", "forty two");
    EXPECT_EQ("forty two\n", vtkit(dir, "env VTKIT_TEST_VARIABLE").out);
    vttest::unsetEnv("VTKIT_TEST_VARIABLE");
    EXPECT_EQ("NOT_DEFINED\n", vtkit(dir, "env VTKIT_TEST_VARIABLE").out);

    writeText(dir.file("one.txt"), "1");
    writeText(dir.file("two.txt"), "2");
    const Outcome list = vtkit(dir, "ls " + FileUtils::quote(dir.file("*.txt")));
    EXPECT_NE(std::string::npos, list.out.find("one.txt"));
    EXPECT_NE(std::string::npos, list.out.find("two.txt"));
    EXPECT_EQ(4u, vtkit(dir, "ls " + FileUtils::quote(dir.file("*.none"))).status);
}

} // namespace
