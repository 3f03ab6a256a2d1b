#include "vtsupport/net/TCPSocket.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/NetTestPeer.h"
#include "support/SocketTestSupport.h"
#include "support/TestSupport.h"

namespace {

using vttest::bytes;
using vttest::frameOf;
using vttest::lead;
using vttest::loopback;
using vttest::pattern;
using vttest::pause;
using vttest::PeerConnection;
using vttest::PeerListener;
using vttest::PeerThread;
using vttest::text;
using vttest::thrownText;

// The client writes this after each read, so the peer knows the read has
// ended; a read that waits for more than its frame never gets there.
const std::string ack = frameOf("ok");

// One message as the peer sends it: its pieces go out a little apart.
using Pieces = std::vector<std::string>;

// A client reads once per message from a peer that sends each message after the
// acknowledgement of the one before. Returns each read's payload, or the text it
// threw; the descriptor must stay open throughout.
std::vector<std::string> readEach(const std::vector<Pieces>& messages) {
    PeerListener listener;
    std::string acks;
    PeerThread peer(listener, [&](PeerConnection& connection) {
        for (const Pieces& pieces : messages) {
            for (std::size_t i = 0; i < pieces.size(); ++i) {
                if (i > 0)
                    pause(30);
                connection.send(pieces[i]);
            }
            acks += connection.receive(ack.size());
        }
    });
    TCPSocket client(loopback(listener.port()));
    const int descriptor = client.getSocket();
    std::vector<std::string> results;
    std::string expectedAcks;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        try {
            results.push_back(text(client.read()));
        } catch (const std::string& message) {
            results.push_back(message);
        }
        EXPECT_EQ(descriptor, client.getSocket());
        client.write(bytes("ok"));
        expectedAcks += ack;
    }
    peer.join();
    EXPECT_EQ(expectedAcks, acks);
    return results;
}

TEST(TCPSocketTest, SocketLibraryIsReadyAtLoad) {
    // Runs before this program starts the socket library itself.
    TCPSocketBase unconnected(loopback(9));
    EXPECT_NE(-1, unconnected.getSocket());
    EXPECT_EQ("127.0.0.1", unconnected.getAddress().getIPString());
    EXPECT_EQ(9, unconnected.getAddress().getPort());
}

TEST(TCPSocketTest, WritesOneFramePerPayload) {
    PeerListener listener;
    TCPSocket client(loopback(listener.port()));
    PeerConnection peer = listener.accept();
    ASSERT_TRUE(peer.isOpen());
    const std::string large = pattern(1234);
    const std::string larger = pattern(5000);
    client.write({});
    client.write(bytes("hello"));
    client.write(bytes(large));
    client.write(bytes(larger));
    client.write(bytes(std::string("\0\xFF\0", 3)));
    EXPECT_EQ(std::string("\x01\x30", 2), peer.receive(2));
    EXPECT_EQ(lead(1, "5hello"), peer.receive(7));
    EXPECT_EQ(lead(4, "1234") + large, peer.receive(5 + 1234));
    EXPECT_EQ(lead(4, "5000") + larger, peer.receive(5 + 5000));
    EXPECT_EQ(lead(1, std::string("3\0\xFF\0", 4)), peer.receive(5));
    client.close();
    EXPECT_EQ("", peer.receiveAll());
    EXPECT_TRUE(peer.endSeen());
}

TEST(TCPSocketTest, ReadsAWholeFrameWithoutWaitingForMore) {
    EXPECT_EQ((std::vector<std::string>{"hello", ""}),
              readEach({{frameOf("hello")}, {frameOf("")}}));
}

TEST(TCPSocketTest, ReadsFramesThatArriveInPieces) {
    const std::string payload = pattern(2500);
    // The header alone first, then the payload a few bytes at a time.
    Pieces spread = {lead(4, "2500")};
    for (std::size_t at = 0; at < payload.size(); at += 250)
        spread.push_back(payload.substr(at, 250));
    // The header with the first payload bytes, the rest later.
    const Pieces headerAndSome = {lead(1, "9abc"), "defghi"};
    EXPECT_EQ((std::vector<std::string>{payload, "abcdefghi"}), readEach({spread, headerAndSome}));
}

TEST(TCPSocketTest, ReadsLongFramesSentAtOnce) {
    const std::string small = pattern(3000);
    const std::string large = pattern(70000);
    EXPECT_EQ((std::vector<std::string>{small, large}),
              readEach({{frameOf(small)}, {frameOf(large)}}));
}

TEST(TCPSocketTest, FramesBackToBackAreReadOneByOne) {
    // 1 + 4 + 1018 = 1023 bytes: the next header straddles the first 1024-byte chunk.
    const std::string straddling = pattern(1018);
    const std::string tail = pattern(1500);
    const std::string all = frameOf(straddling) + frameOf("five!") + frameOf("one") + frameOf("") +
                            frameOf("three") + frameOf(tail);
    // Everything goes out at once; the later reads find their frames already here.
    EXPECT_EQ((std::vector<std::string>{straddling, "five!", "one", "", "three", tail}),
              readEach({{all}, {}, {}, {}, {}, {}}));
}

TEST(TCPSocketTest, BadHeadersThrowAndLeaveTheSocketOpen) {
    // Every header failure is in the frame assembler's table; here the socket stays usable.
    const std::vector<std::string> results = readEach({
        {lead(5, "12")},      // announces five digits, brings two
        {lead(2, "-5abcde")}, // a negative length
        {frameOf("after")},
    });
    EXPECT_EQ((std::vector<std::string>{
                  "Error: TCPSocketBase does not support partial header sends",
                  "Error: Invalid message length: -5",
                  "after",
              }),
              results);
}

TEST(TCPSocketTest, PeerClosingEarlyEndsTheReadWithWhatArrived) {
    PeerListener listener;
    TCPSocket client(loopback(listener.port()));
    PeerConnection peer = listener.accept();
    peer.send(lead(2, "10hello"));
    peer.close();
    EXPECT_EQ("hello", text(client.read()));
    EXPECT_EQ("", text(client.read()));
    EXPECT_NE(-1, client.getSocket());
}

TEST(TCPSocketTest, NothingListeningThrowsTheConnectMessage) {
    const int port = vttest::unusedPort();
    EXPECT_EQ("Error: Cannot connect() to: 127.0.0.1 port: " + std::to_string(port),
              thrownText([&] { TCPSocket refused(loopback(port)); }));
}

TEST(TCPSocketTest, FailedTransfersCloseTheSocket) {
    for (const std::string& payload : {std::string("x"), pattern(5000)}) {
        TCPSocketBase unconnectedWrite(loopback(9));
        EXPECT_EQ("Error: Problem sending data to server: -1",
                  thrownText([&] { unconnectedWrite.write(bytes(payload)); }));
        EXPECT_EQ(-1, unconnectedWrite.getSocket());
    }

    TCPSocketBase unconnectedRead(loopback(9));
    EXPECT_EQ("Error: Problem receiving data from server: -1",
              thrownText([&] { unconnectedRead.read(); }));
    EXPECT_EQ(-1, unconnectedRead.getSocket());
}

TEST(TCPSocketTest, WritingToAGonePeerThrowsInsteadOfEndingTheProcess) {
    PeerListener listener;
    TCPSocket client(loopback(listener.port()));
    listener.accept().close();
    std::string message;
    for (int attempt = 0; attempt < 200 && message.empty(); ++attempt) {
        message = thrownText([&] { client.write(bytes(pattern(1000))); });
        if (message == "(nothing thrown)")
            message.clear();
        pause(10);
    }
    EXPECT_EQ("Error: Problem sending data to server: -1", message);
    EXPECT_EQ(-1, client.getSocket());
}

TEST(TCPSocketTest, CloseInvalidatesAndOperationsThenThrow) {
    PeerListener listener;
    TCPSocket client(loopback(listener.port()));
    PeerConnection peer = listener.accept();
    client.close();
    EXPECT_EQ(-1, client.getSocket());
    EXPECT_EQ("Error: Cannot read from invalidated socket", thrownText([&] { client.read(); }));
    EXPECT_EQ("Error: Cannot write to invalidated socket",
              thrownText([&] { client.write(bytes("lost")); }));
    client.close();
    EXPECT_EQ(-1, client.getSocket());
    EXPECT_EQ(listener.port(), client.getAddress().getPort());
    EXPECT_EQ("", peer.receiveAll()); // nothing was sent
    EXPECT_TRUE(peer.endSeen());
}

TEST(TCPSocketTest, CopyAndAssignmentMoveTheDescriptor) {
    PeerListener listener;
    std::string received;
    PeerThread peer(listener, [&](PeerConnection& connection) {
        connection.send(frameOf("first") + frameOf("second") + frameOf("third"));
        received = connection.receive(frameOf("from copy").size() + frameOf("from target").size());
    });
    TCPSocket* source = new TCPSocket(loopback(listener.port()));
    const int descriptor = source->getSocket();
    pause(100);
    EXPECT_EQ("first", text(source->read())); // the other frames are already here

    TCPSocket copy(*source);
    EXPECT_EQ(-1, source->getSocket());
    EXPECT_EQ("Error: Cannot read from invalidated socket", thrownText([&] { source->read(); }));
    delete source; // closes nothing
    EXPECT_EQ(descriptor, copy.getSocket());
    EXPECT_EQ(listener.port(), copy.getAddress().getPort());
    EXPECT_EQ("second", text(copy.read()));
    copy.write(bytes("from copy"));

    TCPSocket target(-1);
    TCPSocketBase& asBase = target;
    TCPSocketBase& result = (asBase = copy);
    EXPECT_EQ(&target, &result);
    EXPECT_EQ(-1, copy.getSocket());
    EXPECT_EQ(descriptor, target.getSocket());
    EXPECT_EQ(&target, &(target = target));
    EXPECT_EQ(descriptor, target.getSocket());
    EXPECT_EQ("third", text(target.read()));
    target.write(bytes("from target"));
    peer.join();
    EXPECT_EQ(frameOf("from copy") + frameOf("from target"), received);
}

TEST(TCPSocketTest, AssigningOverAnOpenSocketLeavesItsDescriptorOpen) {
    PeerListener listener;
    TCPSocket first(loopback(listener.port()));
    PeerConnection firstPeer = listener.accept();
    TCPSocket second(loopback(listener.port()));
    PeerConnection secondPeer = listener.accept();
    const int overwritten = second.getSocket();
    second = first;
    EXPECT_EQ(-1, first.getSocket());
    TCPSocket adopted(overwritten);
    EXPECT_EQ("0.0.0.0", adopted.getAddress().getIPString());
    EXPECT_EQ(-1, adopted.getAddress().getPort());
    adopted.write(bytes("still open"));
    second.write(bytes("moved"));
    EXPECT_EQ(frameOf("still open"), secondPeer.receive(frameOf("still open").size()));
    EXPECT_EQ(frameOf("moved"), firstPeer.receive(frameOf("moved").size()));
}

TEST(TCPSocketTest, NoDescriptorLeaksOverManyConnections) {
    constexpr int cycles = 1000;
    PeerListener listener;
    const int refusedPort = vttest::unusedPort();
    const int countBefore = vttest::openDescriptorCount();
    const long long numberBefore = vttest::freshDescriptorNumber();
    int accepted = 0;
    PeerThread peer(listener, [&](PeerConnection& first) {
        first.close();
        for (accepted = 1; accepted < cycles; ++accepted)
            if (!listener.accept().isOpen())
                break;
    });
    for (int cycle = 0; cycle < cycles; ++cycle) {
        TCPSocket client(loopback(listener.port()));
        if (cycle % 2 == 0)
            client.close(); // the other half closes in the destructor
        if (cycle % 100 == 0) {
            EXPECT_NE("(nothing thrown)",
                      thrownText([&] { TCPSocket refused{loopback(refusedPort)}; }));
        }
    }
    peer.join();
    EXPECT_EQ(cycles, accepted);
    if (countBefore != -1) {
        EXPECT_EQ(countBefore, vttest::openDescriptorCount());
    }
    // Descriptor numbers are reused lowest first; a leak pushes them up by the thousand.
    EXPECT_LT(vttest::freshDescriptorNumber() - numberBefore, 100);
}

TEST(TCPSocketTest, InteroperatesWithAnIndependentPeer) {
    const int port = vttest::unusedPort();
    vttest::PythonProcess python(
        {std::string(VTSUPPORT_TEST_DATA_DIR) + "/net_echo_peer.py", std::to_string(port)});
    if (!python.started() && !vttest::runningUnderWine())
#ifdef _WIN32
        GTEST_SKIP() << "no python interpreter on PATH to run the peer";
#else
        FAIL() << "python3 could not be started";
#endif
    ASSERT_TRUE(python.started());
    std::unique_ptr<TCPSocket> client;
    std::string lastError;
    for (int attempt = 0; attempt < 200 && !client; ++attempt) {
        try {
            client.reset(new TCPSocket(loopback(port)));
        } catch (const std::string& message) {
            lastError = message;
            pause(50);
        }
    }
    ASSERT_TRUE(client) << "the peer never listened: " << lastError;
    for (std::size_t size : {0, 1, 9, 10, 99, 100, 1023, 1024, 1234, 70000}) {
        const std::string payload = pattern(size);
        client->write(bytes(payload));
        EXPECT_EQ(std::string(payload.rbegin(), payload.rend()), text(client->read())) << size;
    }
}

} // namespace
