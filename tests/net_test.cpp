// Networking, against a peer of the tests' own on the OS socket calls.
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <locale>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/NetPeer.h"
#include "support/Support.h"
#include "vtsupport/net/TCPAddress.h"
#include "vtsupport/net/TCPSocket.h"
#include "vtsupport/net/detail/FrameAssembler.h"
#include "vtsupport/platform/HostLookup.h"

namespace {
using vttest::frameOf;
using vttest::PeerConnection;
using vttest::PeerListener;
using vttest::thrownText;
const auto bytes = [](const std::string& s) { return std::vector<char>(s.begin(), s.end()); };
const auto text = [](const std::vector<char>& b) { return std::string(b.begin(), b.end()); };
// The byte `count` followed by `rest`: frames written by hand, malformed ones too.
const auto lead = [](int count, const std::string& rest) { return char(count) + rest; };
// Every byte value, repeated up to `size` bytes, so that a piece out of place shows.
std::string pattern(std::size_t size) {
    std::string result(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        result[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return result;
}
void pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
const auto loopback = [](int port) { return TCPAddress("127.0.0.1", port); };
// "ip:port record": the record's 16 bytes in hex, family 2 (little-endian), port
// big-endian, the address as given, zeros.
std::string described(TCPAddress address) {
    const auto* data = reinterpret_cast<const unsigned char*>(address.getSockAddr());
    std::string text = address.getIPString() + ":" + std::to_string(address.getPort()) + " ";
    for (int i = 0; i < 16; ++i)
        text += "0123456789abcdef"[data[i] >> 4], text += "0123456789abcdef"[data[i] & 15];
    return text;
}
// For its lifetime, a global locale that reads no number and writes every digit apart, as no
// host should change what goes on the wire or into a message.
struct HostileLocale {
    struct NoNumbers : std::num_get<char> {
        iter_type do_get(iter_type in, iter_type, std::ios_base&, std::ios_base::iostate& state,
                         long&) const override {
            return state = std::ios_base::failbit, in;
        }
    };
    struct Apart : std::numpunct<char> {
        char do_thousands_sep() const override { return '\''; }
        std::string do_grouping() const override { return "\1"; }
    };
    const std::locale host = std::locale::global(
        std::locale(std::locale(std::locale::classic(), new NoNumbers), new Apart));
    ~HostileLocale() { std::locale::global(host); }
};
const std::string invalidAddress = "Error: Cannot process IP address: 255.255.255.255";
TEST(Address, ConstructorsFillTheRecordAndCopiesCarryIt) {
    const TCPAddress wide("172.16.5.4", 70000); // the record holds 70000 - 65536
    TCPAddress assigned;
    EXPECT_EQ(&assigned, &(assigned = wide));
    const std::pair<TCPAddress, const char*> rows[] = {
        {TCPAddress(), "0.0.0.0:0 02000000000000000000000000000000"},
        {TCPAddress("10.0.0.1", 8080), "10.0.0.1:8080 02001f900a0000010000000000000000"},
        {TCPSocket(-1).getAddress(), "0.0.0.0:-1 0200ffff000000000000000000000000"},
        {wide, "172.16.5.4:70000 02001170ac1005040000000000000000"},
        {TCPAddress(wide), "172.16.5.4:70000 02001170ac1005040000000000000000"},
        {assigned, "172.16.5.4:70000 02001170ac1005040000000000000000"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.second, described(row.first));
    for (const char* rejected : {"255.255.255.255", "localhost", "1.2.3.4.5"})
        EXPECT_EQ(invalidAddress, thrownText([&] { TCPAddress(rejected, 80); })) << rejected;
    EXPECT_EQ(invalidAddress, thrownText([] { TCPAddress(0xFFFFFFFFUL, 80); }));
}
// Answers from a table and logs every question: the name, or "#" and the address
// asked about backwards.
struct CountingLookup : IHostLookup {
    bool byName(const std::string& name, std::uint32_t& ip) override {
        asked += name + " ";
        const auto known = table.find(name);
        ip = known != table.end() ? std::uint32_t(TCPAddress(known->second, 0).getIP()) : ip;
        return known != table.end();
    }
    bool byAddress(std::uint32_t address, std::uint32_t& ip) override {
        const auto* b = reinterpret_cast<const unsigned char*>(&address);
        char question[20];
        std::snprintf(question, sizeof question, "#%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
        return byName(question, ip);
    }
    std::map<std::string, std::string> table; // the question and the dotted answer
    std::string asked;
};
// Each text is asked once, forward when it starts with an ASCII letter, else backwards
// as a number; every answer, a failure as the any-address, is cached with port 0.
TEST(Resolve, EachTextIsAskedOnceTheWayItsFirstCharacterSays) {
    CountingLookup lookup;
    setHostLookup(&lookup);
    lookup.table = {
        {"Host", "10.1.2.3"}, {"host", "10.0.0.2"}, {"#10.9.8.7", "10.9.8.6"}, {"z", "10.0.0.26"}};
    const std::pair<const char*, const char*> rows[] = {
        {"Host", "10.1.2.3"},   {"host", "10.0.0.2"}, {"10.9.8.7", "10.9.8.6"},
        {"nowhere", "0.0.0.0"}, {"3host", "0.0.0.0"}, {"\xC3\xA9t", "0.0.0.0"},
        {"a", "0.0.0.0"},       {"z", "10.0.0.26"},   {"A", "0.0.0.0"},
        {"Z", "0.0.0.0"},       {"", "0.0.0.0"},      {"10.0.0.99", "0.0.0.0"}};
    for (int round = 0; round < 2; ++round) {
        for (const auto& row : rows) {
            const TCPAddress resolved = TCPAddress::resolve(row.first);
            EXPECT_EQ(row.second, resolved.getIPString()) << row.first;
            EXPECT_EQ(0, resolved.getPort()) << row.first;
        }
        lookup.table["nowhere"] = "10.0.0.5"; // a later change is not seen
    }
    EXPECT_EQ("Host host #10.9.8.7 nowhere #255.255.255.255 #255.255.255.255 a z A Z "
              "#255.255.255.255 #10.0.0.99 ",
              lookup.asked);
    setHostLookup(nullptr);
}
using vtsupport::detail::FrameAssembler;
struct FrameRow {
    const char* what;
    std::string carried;             // kept from the frame before
    std::vector<std::string> chunks; // one per receive; after the last the peer has ended
    std::string expected;            // "payload or message thrown|kept for the next frame|receives"
    long long largest = FrameAssembler::anyLength;
};
// Receives one frame from the row's chunks: "outcome|kept for the next frame|receives".
std::string received(const FrameRow& row) {
    std::vector<char> carried(row.carried.begin(), row.carried.end());
    std::size_t receives = 0;
    const auto receive = [&](char* buffer, std::size_t capacity) -> std::size_t {
        return receives++ < row.chunks.size() ? row.chunks[receives - 1].copy(buffer, capacity) : 0;
    };
    std::string payload;
    const std::string thrown = thrownText(
        [&] { payload = text(vtsupport::detail::receiveFrame(carried, receive, row.largest)); });
    return (thrown == "(nothing thrown)" ? payload : thrown) + "|" + text(carried) + "|" +
           std::to_string(receives);
}
const std::string partial = "Error: TCPSocketBase does not support partial header sends";
const std::string notInt = "Error: Cannot convert to int: ";
const std::string over = "Error: Message length over the limit of ";
TEST(FrameAssembler, EachRowGivesItsPayloadOrFailureAndKeepsWhatFollows) {
    const std::string p = pattern(3000), f = frameOf(p), two = frameOf("two"), ten = "0123456789";
    const std::vector<std::string> in1024 = {f.substr(0, 1024), f.substr(1024, 1024),
                                             f.substr(2048)};
    const std::vector<FrameRow> rows = {
        {"one chunk", "", {lead(1, "5hello")}, "hello||1"},
        {"an empty payload", "", {lead(1, "0")}, "||1"},
        {"the header alone first", "", {lead(1, "9"), "abc", "defghi"}, "abcdefghi||3"},
        {"1024-byte receives", "", in1024, p + "||3"},
        {"the next frame is kept", "", {frameOf("one") + two}, "one|" + two + "|1"},
        {"the next frame in chunk 2", "", {lead(1, "5he"), "llo" + two}, "hello|" + two + "|2"},
        {"a carried frame needs no receive", two + "x", {}, "two|x|0"},
        {"a carried header is completed by the payload", lead(1, "8abc"), {"defgh"}, "abcdefgh||1"},
        // Only a header cut short by the split of the frame before is completed.
        {"a carried header cut short", lead(2, "1"), {"0abcdefghij"}, "abcdefghij||1"},
        {"a carried header still short", lead(5, "1"), {"2"}, partial + "||1"},
        {"a carried header that is no number", lead(1, "x"), {}, notInt + "x||0"},
        {"a header split by the peer", "", {lead(5, "12")}, partial + "||1"},
        {"a count without its digits", "", {lead(1, "")}, partial + "||1"},
        // The header read as a stream extraction of an int reads it; a failed one drops its chunk.
        {"a letter drops its chunk", "", {lead(1, "x") + frameOf("abc")}, notInt + "x||1"},
        {"no digits", "", {lead(0, "")}, notInt + "||1"},
        {"a negative count", "", {lead(-1, "12")}, notInt + "||1"},
        {"more than an int", "", {lead(10, "9999999999")}, notInt + "9999999999||1"},
        {"INT_MIN", "", {lead(11, "-2147483648")}, "Error: Invalid message length: -2147483648||1"},
        {"blanks before, a letter after", "", {lead(5, " \t\r7zpayload")}, "payload||1"},
        // A peer that ends early ends the frame with what arrived.
        {"the peer ends in the payload", "", {lead(2, "10hello")}, "hello||2"},
        {"the peer ends at once", "", {}, "||1"},
        {"the peer ends in a carried header", lead(3, "1"), {}, "||1"},
        {"the largest length, ten sent", "", {lead(10, "2147483647") + ten}, ten + "||2"},
        // A receiver's largest length: up to it a frame is taken, beyond it refused at once.
        {"up to the receiver's largest", "", {lead(2, "10") + ten}, ten + "||1", 10},
        {"over the receiver's largest", "", {lead(2, "11") + ten + "!"}, over + "10: 11||1", 10},
        {"a carried frame over it", two, {}, over + "2: 3||0", 2},
    };
    const HostileLocale hostile;
    for (const FrameRow& row : rows)
        EXPECT_EQ(row.expected, received(row)) << row.what;
}
TEST(Socket, WritesOneFramePerPayload) {
    PeerListener listener;
    TCPSocket client(loopback(listener.port()));
    PeerConnection peer = listener.accept();
    errno = EINTR; // as an interrupted call of the host may leave it
    for (const std::string& payload : {std::string(), std::string("hello"), pattern(1234),
                                       pattern(5000), std::string("\0\xFF\0", 3)}) {
        client.write(bytes(payload));
        EXPECT_EQ(frameOf(payload), peer.receive(frameOf(payload).size())) << payload.size();
    }
    client.close();
    EXPECT_EQ("", peer.receive(1));
    EXPECT_TRUE(peer.endSeen());
}
// A peer that ends early ends the read with what arrived; a signal landing in the
// process while the read waits does not end it.
TEST(Socket, APeerEndingEarlyEndsTheReadWithWhatArrived) {
    PeerListener listener;
    TCPSocket client(loopback(listener.port()));
    PeerConnection peer = listener.accept();
    peer.send(lead(10, "2000000000") + "0123456789"); // two billion announced, ten sent
    vttest::interruptAfter(200);
    std::thread ending([&peer] {
        pause(500);
        peer.close();
    });
    std::vector<char> received;
    const std::string thrown = thrownText([&] { received = client.read(); });
    ending.join();
    EXPECT_EQ("(nothing thrown)", thrown);
    EXPECT_EQ("0123456789", text(received));
    EXPECT_LT(received.capacity(), 64u << 20) << "memory follows the bytes, not the promise";
    EXPECT_EQ("", text(client.read()));
    EXPECT_NE(-1, client.getSocket());
}
// A program the host starts does not hold the library's socket (a closed connection stays closed).
TEST(Socket, IsNotInheritedByProgramsTheHostStarts) {
    PeerListener listener;
    TCPSocket socket(loopback(listener.port()));
    EXPECT_FALSE(vttest::inheritable(socket.getSocket()));
}
// A connect that a signal interrupts while it waits (the listener's queue is full) goes on, and
// connects once the listener takes the connections queued before it.
TEST(Socket, ASignalWhileConnectingDoesNotFailIt) {
    if (vttest::onWindows)
        GTEST_SKIP() << "no signals interrupt a Windows connect";
    PeerListener listener(true);
    const PeerConnection queued = listener.fillQueue();
    std::thread accepting([&listener] {
        pause(400);
        listener.accept(); // the queued one, then the waiting one
        listener.accept();
    });
    ASSERT_TRUE(vttest::interruptAfter(200));
    const std::string thrown = thrownText([&] { TCPSocket waiting(loopback(listener.port())); });
    accepting.join();
    EXPECT_EQ("(nothing thrown)", thrown);
}
TEST(Socket, FailuresThrowTheirMessagesAndCloseTheSocket) {
    const HostileLocale hostile;
    TCPSocketBase unconnected(loopback(9)); // before this program starts any socket library
    EXPECT_NE(-1, unconnected.getSocket());
    const int port = vttest::unusedPort();
    EXPECT_EQ("Error: Cannot connect() to: 127.0.0.1 port: " + std::to_string(port),
              thrownText([&] { TCPSocket refused(loopback(port)); }));
    for (const std::string& payload : {std::string("x"), pattern(5000)}) {
        TCPSocketBase unsent(loopback(9));
        EXPECT_EQ("Error: Problem sending data to server: -1",
                  thrownText([&] { unsent.write(bytes(payload)); }));
        EXPECT_EQ(-1, unsent.getSocket());
    }
    EXPECT_EQ("Error: Problem receiving data from server: -1",
              thrownText([&] { unconnected.read(); }));
    EXPECT_EQ(-1, unconnected.getSocket());
    EXPECT_EQ("Error: Cannot read from invalidated socket",
              thrownText([&] { unconnected.read(); }));
    EXPECT_EQ("Error: Cannot write to invalidated socket",
              thrownText([&] { unconnected.write(bytes("lost")); }));
    vttest::withoutStandardInput([] { // then the first descriptor free, and a valid one, is 0
        EXPECT_EQ(0, TCPSocketBase(loopback(9)).getSocket());
    });
    // A send that a signal cuts short, the peer reading nothing, fails with what it sent.
    PeerListener listener;
    TCPSocket stuck(loopback(listener.port()));
    PeerConnection silent = listener.accept();
    const std::vector<char> payload(64 << 20, 'x');
    if (vttest::interruptAfter(300)) {
        const std::string thrown = thrownText([&] { stuck.write(payload); });
        EXPECT_EQ(0u, thrown.rfind("Error: Problem sending data to server: ", 0)) << thrown;
        EXPECT_NE("-1", thrown.substr(thrown.rfind(' ') + 1));
        EXPECT_EQ(-1, stuck.getSocket());
    }
}
TEST(Socket, AGonePeerFailsTheWriteInsteadOfEndingTheProcess) {
    PeerListener listener;
    TCPSocket writer(loopback(listener.port()));
    listener.accept().close();
    std::string message = "(nothing thrown)";
    for (int attempt = 0; attempt < 200 && message == "(nothing thrown)"; ++attempt, pause(10))
        message = thrownText([&] { writer.write(bytes(pattern(1000))); });
    EXPECT_EQ("Error: Problem sending data to server: -1", message);
    EXPECT_EQ(-1, writer.getSocket());
}
// Copies and assignments take the descriptor and the frames read ahead, leaving the
// source invalidated; the descriptor a target held before stays open.
TEST(Socket, CopyAndAssignmentMoveTheDescriptorAndWhatWasReadAhead) {
    PeerListener listener;
    TCPSocket source(loopback(listener.port()));
    PeerConnection sourcePeer = listener.accept();
    const int descriptor = source.getSocket();
    sourcePeer.send(frameOf("first") + frameOf("second") + frameOf("third"));
    EXPECT_EQ("first", text(source.read())); // the other frames come with it
    TCPSocket copy(source);
    EXPECT_EQ("Error: Cannot read from invalidated socket", thrownText([&] { source.read(); }));
    EXPECT_EQ("second", text(copy.read()));
    TCPSocket target(loopback(listener.port()));
    PeerConnection targetPeer = listener.accept();
    const int overwritten = target.getSocket();
    TCPSocketBase& asBase = target;
    EXPECT_EQ(&target, &(asBase = copy));
    EXPECT_EQ(-1, copy.getSocket());
    EXPECT_EQ(descriptor, target.getSocket());
    EXPECT_EQ("third", text(target.read()));
    TCPSocket adopted(overwritten);
    adopted.write(bytes("still open"));
    EXPECT_EQ(frameOf("still open"), targetPeer.receive(frameOf("still open").size()));
}
// Connections ended each way (closed by the caller, read to the peer's end after
// a frame or none) leave no descriptor behind.
TEST(Socket, ConnectionsLeaveNoDescriptorBehind) {
    PeerListener listener;
    long before = 0;
    for (int cycle = 0; cycle < 300 && !HasFailure(); ++cycle) {
        if (cycle == 3) // first uses of each kind may open what is kept for later
            before = vttest::openHandleCount();
        TCPSocket client(loopback(listener.port()));
        PeerConnection peer = listener.accept();
        if (cycle % 3 == 0) {
            client.close();
            continue;
        }
        if (cycle % 3 == 1)
            peer.send(frameOf("cycle"));
        peer.close();
        EXPECT_EQ(cycle % 3 == 1 ? "cycle" : "", text(client.read()));
    }
    EXPECT_NEAR(before, vttest::openHandleCount(), vttest::handleCountDrift());
}
} // namespace
