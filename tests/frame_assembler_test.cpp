#include "vtsupport/net/detail/FrameAssembler.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/NetTestPeer.h"
#include "support/SocketTestSupport.h"

namespace {

using vtsupport::detail::FrameAssembler;
using vtsupport::detail::receiveFrame;
using vttest::frameOf;
using vttest::lead;
using vttest::pattern;
using vttest::text;

// `stream` cut into pieces of `size` bytes, the last one shorter.
std::vector<std::string> pieces(const std::string& stream, std::size_t size) {
    std::vector<std::string> result;
    for (std::size_t at = 0; at < stream.size(); at += size)
        result.push_back(stream.substr(at, size));
    return result;
}

struct Case {
    const char* name;
    std::string carried;             // kept from the frame before
    std::vector<std::string> chunks; // one per receive; after the last the peer has ended
    std::string outcome;             // the payload, or the message thrown
    std::string carriedAfter;        // kept for the frame after
    std::size_t receives;            // chunks taken, an end of input included
};

struct Result {
    std::string outcome;
    std::string carriedAfter;
    std::size_t receives = 0;
};

// Hands out one chunk per receive, then the end of the input; counts the receives.
class Replay {
public:
    explicit Replay(const std::vector<std::string>& chunks) : chunks_(chunks) {}
    std::size_t receives() const { return receives_; }
    std::size_t operator()(char* buffer, std::size_t capacity) {
        EXPECT_EQ(FrameAssembler::chunkSize, capacity);
        const std::size_t at = receives_++;
        if (at >= chunks_.size())
            return 0;
        EXPECT_LE(chunks_[at].size(), capacity) << "a test chunk larger than a receive";
        std::memcpy(buffer, chunks_[at].data(), chunks_[at].size());
        return chunks_[at].size();
    }

private:
    const std::vector<std::string>& chunks_;
    std::size_t receives_ = 0;
};

// One frame read through the receive loop.
Result readOne(const Case& c) {
    Result result;
    std::vector<char> carried(c.carried.begin(), c.carried.end());
    Replay replay(c.chunks);
    try {
        result.outcome = text(receiveFrame(carried, std::ref(replay)));
    } catch (const std::string& message) {
        result.outcome = message;
    }
    result.receives = replay.receives();
    result.carriedAfter = text(carried);
    return result;
}

const std::string partial = "Error: TCPSocketBase does not support partial header sends";
const std::string long3000 = pattern(3000);
const std::string long2500 = pattern(2500);

const std::vector<Case> cases = {
    {"whole frame in one chunk", "", {lead(1, "5hello")}, "hello", "", 1},
    {"empty payload is the two bytes 01 30", "", {"\x01\x30"}, "", "", 1},
    {"header alone, then payload chunks", "", {lead(1, "9"), "abc", "defghi"}, "abcdefghi", "", 3},
    {"3000 bytes in chunks of 1024", "", pieces(frameOf(long3000), 1024), long3000, "", 3},
    {"payload in pieces smaller than a receive",
     "",
     {lead(4, "2000"), pattern(500), pattern(500), pattern(500), pattern(500)},
     pattern(500) + pattern(500) + pattern(500) + pattern(500),
     "",
     5},
    {"bytes past the frame are kept",
     "",
     {frameOf("one") + frameOf("two")},
     "one",
     frameOf("two"),
     1},
    {"bytes past an empty frame are kept", "", {frameOf("") + frameOf("x")}, "", frameOf("x"), 1},
    {"frame ending in a later chunk keeps what follows",
     "",
     {lead(1, "5he"), "llo" + frameOf("ok")},
     "hello",
     frameOf("ok"),
     2},
    {"long frame followed by the next one", "", pieces(frameOf(long2500) + frameOf("next"), 1024),
     long2500, frameOf("next"), 3},
    {"carried frame needs no receive", frameOf("two") + "x", {}, "two", "x", 0},
    {"carried start of a frame is completed", lead(1, "8abc"), {"defgh"}, "abcdefgh", "", 1},
    {"carried header cut short is completed by one chunk",
     lead(2, "1"),
     {"0abcdefghij"},
     "abcdefghij",
     "",
     1},
    {"carried header still short after one chunk", lead(5, "1"), {"2"}, partial, "", 1},
    {"header cut short", "", {lead(5, "12")}, partial, "", 1},
    {"letter for a length", "", {lead(1, "xtail")}, "Error: Cannot convert to int: x", "", 1},
    {"no digits", "", {lead(0, "")}, "Error: Cannot convert to int: ", "", 1},
    {"negative digit count", "", {lead(-1, "12")}, "Error: Cannot convert to int: ", "", 1},
    {"length beyond int",
     "",
     {lead(10, "9999999999")},
     "Error: Cannot convert to int: 9999999999",
     "",
     1},
    {"negative length", "", {lead(2, "-5abcde")}, "Error: Invalid message length: -5", "", 1},
    {"failed header drops the rest of its chunk",
     "",
     {lead(1, "x") + frameOf("abc")},
     "Error: Cannot convert to int: x",
     "",
     1},
    {"blanks skipped, digits end at the first other character",
     "",
     {lead(3, " 7zpayload")},
     "payload",
     "",
     1},
    {"plus sign", "", {lead(2, "+3abc")}, "abc", "", 1},
    {"payload of digits after the header", "", {lead(1, "4") + "1234"}, "1234", "", 1},
    {"leading zeros", "", {lead(9, "000000003abcd")}, "abc", "d", 1},
    {"ten digits read by the stream", "", {lead(10, "0000000004abcd")}, "abcd", "", 1},
    {"peer ends in the payload", "", {lead(2, "10hello")}, "hello", "", 2},
    {"peer ends before anything", "", {}, "", "", 1},
    {"peer ends under a carried header cut short", lead(3, "1"), {}, "", "", 1},
    {"largest length announced, ten bytes sent",
     "",
     {lead(10, "2147483647") + "0123456789"},
     "0123456789",
     "",
     2},
};

TEST(FrameAssembler, ReadsEachFrameOfTheTable) {
    for (const Case& c : cases) {
        const Result result = readOne(c);
        EXPECT_EQ(c.outcome, result.outcome) << c.name;
        EXPECT_EQ(c.carriedAfter, result.carriedAfter) << c.name;
        EXPECT_EQ(c.receives, result.receives) << c.name;
    }
}

TEST(FrameAssembler, FramesBackToBackComeOutOneByOne) {
    // 1 + 4 + 1018 = 1023 bytes: the second header straddles the first chunk's end.
    const std::vector<std::string> payloads = {pattern(1018), "five!", "", pattern(1500), "end"};
    std::string stream;
    for (const std::string& payload : payloads)
        stream += frameOf(payload);
    const std::vector<std::string> chunks = pieces(stream, 1024);
    Replay replay(chunks);
    std::vector<char> carried;
    for (const std::string& payload : payloads)
        EXPECT_EQ(payload, text(receiveFrame(carried, std::ref(replay))));
    EXPECT_EQ(chunks.size(), replay.receives());
    EXPECT_TRUE(carried.empty());
}

} // namespace
