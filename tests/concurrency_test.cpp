// Several threads at once: racing first requests of the module-wide objects,
// trace insertions, and trees, tokenizers, sockets, files and commands that each
// thread owns alone. Each thread must get what it would get alone; the
// ThreadSanitizer leg runs these to find the data races that results cannot show.
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/FakeCpuPlatform.h"
#include "support/FilesTestSupport.h"
#include "support/NetTestPeer.h"
#include "support/ReliabilitySupport.h"
#include "support/TestSupport.h"
#include "support/TextSupport.h"
#include "vtsupport/files/FileUtils.h"
#include "vtsupport/files/Process.h"
#include "vtsupport/net/TCPSocket.h"
#include "vtsupport/text/SimpleDOM.h"
#include "vtsupport/text/StreamTokenizer.h"
#include "vtsupport/utils/Cpu.h"
#include "vtsupport/utils/JAssert.h"
#include "vtsupport/utils/Trace.h"

namespace {

constexpr int threadCount = 4;

std::string answers(const utils::ICpu& cpu) {
    std::ostringstream text;
    text << cpu.isValid() << cpu.errorMessage() << '|' << cpu.vendor() << '|'
         << cpu.physicalProcessorCount() << cpu.coreCount() << cpu.logicalProcessorCount()
         << cpu.coresPerPhysicalProcessor() << cpu.isHyperThreadingCapable()
         << cpu.isHyperThreadingEnabled() << cpu.isMultiProcessor() << cpu.isMultiCore();
    return text.str();
}

TEST(Concurrency, FirstRequestsFromManyThreadsMakeOneOfEachObject) {
    constexpr int many = 16;
    vttest::FakeCpuPlatform alone = vttest::FakeCpuPlatform::intel(0x3, {0, 1}, 2, 1);
    {
        vttest::ScopedCpuPlatform scoped(alone);
        const utils::IntelCpu detected;
    }
    vttest::FakeCpuPlatform machine = vttest::FakeCpuPlatform::intel(0x3, {0, 1}, 2, 1);
    vttest::ScopedCpuPlatform scoped(machine);
    std::vector<utils::PTrace*> channels(many, nullptr);
    std::vector<utils::ICpu*> processors(many, nullptr);
    std::vector<std::string> answered(many);
    vttest::onThreadsAtOnce(many, [&](int i) {
        channels[i] = utils::PTrace::instance();
        processors[i] = utils::CpuFactory::instance()->cpu();
        if (processors[i] != nullptr)
            answered[i] = answers(*processors[i]); // queries only read the made object
    });
    ASSERT_NE(nullptr, processors[0]);
    EXPECT_EQ(alone.log, machine.log) << "one detection, on one thread";
    for (int i = 0; i < many; ++i) {
        EXPECT_EQ(utils::PTrace::instance(), channels[i]);
        EXPECT_EQ(processors[0], processors[i]);
        EXPECT_EQ("1|GenuineIntel|11211100", answered[i]);
    }
}

TEST(Concurrency, TraceInsertionsFromSeveralThreadsInterleaveWithoutLoss) {
    constexpr int lines = 200;
    vttest::CoutCapture capture;
    vttest::setEnv(utils::traceSwitchName, "1");
    vttest::onThreadsAtOnce(threadCount, [&](int i) {
        utils::ITrace& trace = *utils::PTrace::instance();
        const std::string word(10, static_cast<char>('a' + i));
        for (int line = 0; line < lines; ++line)
            trace << word << i << '\n';
    });
    vttest::unsetEnv(utils::traceSwitchName);
    const std::string written = capture.text();
    EXPECT_EQ(threadCount * lines, std::count(written.begin(), written.end(), '\n'));
    for (int i = 0; i < threadCount; ++i) {
        EXPECT_EQ(10 * lines, std::count(written.begin(), written.end(), 'a' + i));
        EXPECT_EQ(lines, std::count(written.begin(), written.end(), '0' + i));
    }
    EXPECT_EQ(static_cast<std::size_t>(threadCount * lines * 12), written.size());
}

// Reads, edits, writes and clones one document; the written texts.
std::string treeWork(int variant) {
    const std::string id = std::to_string(variant);
    std::istringstream in("<?xml version=\"1.0\"?>\n<r id=\"" + id + "\"><a>one " + id +
                          "</a><!-- c --><b k=\"v\"/><a>two</a></r>");
    vttest::OwnedTree tree(SimpleDOM::parse(in, false));
    SimpleDOM::Node* added = new SimpleDOM::Node("c");
    added->setText(id);
    tree.root->insertAfter(tree.root->getFirstChild(), added);
    tree.root->getChildren().back()->setAttribute("n", id);
    std::ostringstream out;
    out << tree.root << tree.root->findElements("a").size();
    vttest::OwnedTree copy(tree.root->clone());
    SimpleDOM::write(out, copy.root, true);
    return out.str();
}

std::string tokenWork(int variant) {
    std::istringstream in("w1 w2; 'q t' # note\n/* block */ end\"x\" " + std::to_string(variant));
    StreamTokenizer tokenizer(in);
    if (variant % 2 == 0) {
        tokenizer.setSLCommentStart("#");
        tokenizer.setMLCommentStart("/*");
        tokenizer.setMLCommentEnd("*/");
    } else {
        tokenizer.setWhitespaceTokens(true);
        tokenizer.setOrdinaryChars(";#");
    }
    std::string joined;
    for (std::string token = tokenizer.nextToken(); token != StreamTokenizer::TT_EOF;
         token = tokenizer.nextToken())
        joined += "[" + token + "]";
    return joined + std::to_string(tokenizer.lineno());
}

// Each thread repeats `work` on its own variant and must get what one thread got alone.
void expectSameAsAlone(std::string (*work)(int), int rounds) {
    std::vector<std::string> alone;
    for (int i = 0; i < threadCount; ++i)
        alone.push_back(work(i));
    EXPECT_NE(alone[0], alone[1]);
    vttest::onThreadsAtOnce(threadCount, [&](int i) {
        for (int round = 0; round < rounds; ++round)
            EXPECT_EQ(alone[i], work(i));
    });
}

TEST(Concurrency, TreesOnSeveralThreadsAreIndependent) {
    expectSameAsAlone(treeWork, 100);
}

TEST(Concurrency, TokenizersOnSeveralThreadsAreIndependent) {
    expectSameAsAlone(tokenWork, 200);
}

// The file list is split on every call with state of the call's own.
TEST(Concurrency, AssertionSwitchesAreReadOnSeveralThreads) {
    vttest::ScopedEnv active("JASSERT", "ON");
    vttest::ScopedEnv files("JASSERT_FILELIST", "Other,,SimpleDOM,StreamTokenizer");
    vttest::onThreadsAtOnce(threadCount, [&](int) {
        for (int round = 0; round < 500; ++round) {
            EXPECT_EQ(1, JAssertEnabled("SimpleDOM"));
            EXPECT_EQ(1, JAssertEnabled("StreamTokenizer"));
            EXPECT_EQ(0, JAssertEnabled("Missing"));
        }
        EXPECT_FALSE(treeWork(1).empty()); // active assertions that hold
    });
}

TEST(Concurrency, SocketsOnSeveralThreadsAreIndependent) {
    constexpr int messages = 20;
    vttest::onThreadsAtOnce(threadCount, [&](int i) {
        vttest::PeerListener listener;
        vttest::PeerThread peer(listener, [](vttest::PeerConnection& connection) {
            for (int m = 0; m < messages; ++m) {
                std::string payload = vttest::receiveFrame(connection);
                std::reverse(payload.begin(), payload.end());
                connection.send(vttest::frameOf(payload));
            }
        });
        TCPSocket client(TCPAddress("127.0.0.1", listener.port()));
        for (int m = 0; m < messages; ++m) {
            std::string payload(static_cast<std::size_t>(m * 150 + i), '\0');
            for (std::size_t k = 0; k < payload.size(); ++k)
                payload[k] = static_cast<char>('a' + (k * 7 + i) % 26);
            client.write(std::vector<char>(payload.begin(), payload.end()));
            const std::vector<char> echoed = client.read();
            EXPECT_EQ(std::string(payload.rbegin(), payload.rend()),
                      std::string(echoed.begin(), echoed.end()));
        }
    });
}

TEST(Concurrency, FilesAndCommandsOnSeveralThreads) {
    vttest::ScratchDir scratch;
    vttest::ScopedEnv tmp("TMP", scratch.path().c_str());
    vttest::ScopedEnv tmpdir("TMPDIR", scratch.path().c_str());
    const std::string helper = vttest::helperCommand("both");
    vttest::onThreadsAtOnce(threadCount, [&](int i) {
        const std::string dir = scratch.file("t" + std::to_string(i));
        ASSERT_TRUE(FileUtils::makeDirectory(dir, 0755));
        const std::string file = dir + vttest::separator() + "data.txt";
        for (int round = 0; round < 3; ++round) {
            const std::string text =
                "line " + std::to_string(i) + "\nround " + std::to_string(round) + "\n";
            FileUtils::writeFile(text, file);
            EXPECT_EQ(text, FileUtils::readFile(file));
            EXPECT_EQ("round " + std::to_string(round) + "\n", FileUtils::tailLines(file, 1));
            EXPECT_EQ(dir + vttest::separator() + "data_1.txt", FileUtils::uniqueFileName(file));
            std::vector<std::string> names;
            EXPECT_TRUE(FileUtils::listFiles((dir + vttest::separator() + "*.txt").c_str(), names));
            EXPECT_EQ(std::vector<std::string>{file}, names);
            EXPECT_TRUE(FileUtils::isWritableDirectory(dir));
            // Each capture needs a temporary name no other thread holds.
            EXPECT_EQ("to stdout\nto stderr\n", runCommandCapture(helper));
        }
    });
}

} // namespace
