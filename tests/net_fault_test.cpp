// The framed socket against peers that misbehave: trickling, resetting, promising
// more than they send, and connections made and dropped by the thousand.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/NetTestPeer.h"
#include "support/SocketTestSupport.h"
#include "support/TestSupport.h"
#include "vtsupport/net/TCPSocket.h"

namespace {

using vttest::bytes;
using vttest::frameOf;
using vttest::loopback;
using vttest::pause;
using vttest::PeerConnection;
using vttest::PeerListener;
using vttest::PeerThread;
using vttest::text;
using vttest::thrownText;

const std::string receiveFailure = "Error: Problem receiving data from server: -1";

// Sends `bytes` one at a time, each in a segment of its own.
void trickle(PeerConnection& connection, const std::string& bytes, int milliseconds) {
    connection.sendImmediately();
    for (char c : bytes) {
        connection.send(std::string(1, c));
        pause(milliseconds);
    }
}

TEST(NetFaults, TrickledPayloadIsCollectedWholeAndATrickledHeaderIsRefused) {
    PeerListener listener;
    const std::string payload = "one byte at a time, forty-two bytes long.";
    std::string reply;
    PeerThread peer(listener, [&](PeerConnection& connection) {
        connection.send(frameOf(payload).substr(0, 3)); // the whole header: 02 34 31
        trickle(connection, payload, 2);
        // A header cut in pieces is refused, and the connection stays usable.
        trickle(connection, frameOf("late"), 100);
        reply = vttest::receiveFrame(connection);
    });
    TCPSocket client(loopback(listener.port()));
    EXPECT_EQ(payload, text(client.read()));
    EXPECT_EQ("Error: TCPSocketBase does not support partial header sends",
              thrownText([&] { client.read(); }));
    EXPECT_NE(-1, client.getSocket());
    client.write(bytes("still here"));
    peer.join();
    EXPECT_EQ("still here", reply);
}

TEST(NetFaults, ResetInTheMiddleOfAFrameFailsTheReadAndClosesTheSocket) {
    PeerListener listener;
    PeerThread peer(listener, [&](PeerConnection& connection) {
        connection.send(std::string("\x02") + "50" + std::string(20, 'x'));
        pause(200); // the client has the twenty bytes and waits for the rest
        connection.reset();
    });
    TCPSocket client(loopback(listener.port()));
    EXPECT_EQ(receiveFailure, thrownText([&] { client.read(); }));
    EXPECT_EQ(-1, client.getSocket());
    EXPECT_EQ("Error: Cannot write to invalidated socket",
              thrownText([&] { client.write(bytes("x")); }));
}

TEST(NetFaults, TwoBillionAnnouncedAndTenSentReturnsTheTen) {
    PeerListener listener;
    PeerThread peer(listener, [&](PeerConnection& connection) {
        connection.send(std::string("\x0a") + "2000000000" + "0123456789");
    });
    TCPSocket client(loopback(listener.port()));
    const std::vector<char> received = client.read();
    EXPECT_EQ("0123456789", text(received));
    // Memory follows the bytes that came, not the length that was promised.
    EXPECT_LT(received.capacity(), 64u << 20);
    EXPECT_EQ("", text(client.read()));
    EXPECT_NE(-1, client.getSocket());
}

// Each cycle connects and ends one of four ways: the client closes at once, the
// peer sends a frame and closes, the peer closes without a word, or the peer
// resets. The descriptor count must end where it began.
//
// The peer resets only after the client's frame has arrived: a reset sent the
// moment the connection is accepted can reach the client before its connect()
// has returned, and connect() then fails although the peer counted the cycle.
const std::string resetCue = frameOf("reset me");

void serveCycle(PeerConnection& connection, int cycle) {
    switch (cycle % 4) {
    case 1:
        connection.send(frameOf("cycle"));
        break;
    case 3:
        connection.receive(resetCue.size());
        connection.reset();
        break;
    default:
        break;
    }
}

void clientCycle(int port, int cycle) {
    TCPSocket client(loopback(port));
    switch (cycle % 4) {
    case 0:
        client.close();
        break;
    case 1:
        EXPECT_EQ("cycle", text(client.read()));
        break;
    case 2:
        EXPECT_EQ("", text(client.read()));
        break;
    default: {
        client.write(bytes("reset me"));
        std::vector<char> received{'?'};
        const std::string thrown = thrownText([&] { received = client.read(); });
        if (thrown == "(nothing thrown)") {
            // A reset that lands before the read can be reported as an orderly end
            // (Wine always, Linux under heavy instrumentation); this soak is about
            // descriptors, the reset message is pinned by the mid-frame reset test.
            EXPECT_TRUE(received.empty());
            break;
        }
        EXPECT_EQ(receiveFailure, thrown);
        EXPECT_EQ(-1, client.getSocket());
        break;
    }
    }
}

TEST(NetFaults, TenThousandConnectionsLeaveNoDescriptorBehind) {
    const int cycles = 10000;
    PeerListener listener;
    int served = 0;
    {
        // First uses may open what the runtime keeps for later.
        PeerThread warmUp(listener, [&](PeerConnection& connection) { serveCycle(connection, 1); });
        clientCycle(listener.port(), 1);
    }
    const int countBefore = vttest::openDescriptorCount();
    const long long numberBefore = vttest::freshDescriptorNumber();
    PeerThread peer(listener, [&](PeerConnection& first) {
        if (!first.isOpen())
            return;
        serveCycle(first, 0);
        first.close();
        for (served = 1; served < cycles; ++served) {
            PeerConnection next = listener.accept();
            if (!next.isOpen())
                break;
            serveCycle(next, served);
        }
    });
    // Every cycle leaves a connection in TIME_WAIT for a minute, and runs of this
    // test close together could use up the host's ephemeral ports. A connect
    // refused for that reason never reached the peer, so the cycle is tried
    // again after a pause, a bounded number of times.
    int retries = 0;
    for (int cycle = 0; cycle < cycles && !HasFailure(); ++cycle) {
        const std::string thrown = thrownText([&] { clientCycle(listener.port(), cycle); });
        if (thrown == "(nothing thrown)")
            continue;
        if (thrown.rfind("Error: Cannot connect() to: ", 0) == 0 && retries < 600) {
            ++retries;
            --cycle;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        ADD_FAILURE() << "cycle " << cycle << ": " << thrown;
    }
    peer.join();
    EXPECT_EQ(cycles, served);
    if (countBefore != -1) {
        EXPECT_EQ(countBefore, vttest::openDescriptorCount());
    }
    EXPECT_LT(vttest::freshDescriptorNumber() - numberBefore, 100);
}

} // namespace
