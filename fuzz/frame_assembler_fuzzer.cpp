// The frame receive loop (FrameAssembler with receiveFrame) fed the input's
// bytes in chunks drawn from the input, with no socket in between. Every read's
// outcome (payload or thrown message) and the chunks it took must match a model
// of the framing written independently below, over positions in the byte stream
// rather than buffers; after the input's end every read is empty.
//
// Input: a flags byte (bit 0: the rest is payloads to frame, each a length byte
// and up to that many bytes; bits 1-4: the number of chunk-size bytes that
// follow, each 1-255, or 0 for 1024, used in turn), then the stream or payloads.
#include <cctype>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "vtsupport/net/detail/FrameAssembler.h"

namespace {

constexpr std::size_t receiveSize = vtsupport::detail::FrameAssembler::chunkSize;

struct Outcome {
    bool thrown = false;
    std::string text; // the payload, or the message thrown
    bool operator!=(const Outcome& other) const {
        return thrown != other.thrown || text != other.text;
    }
};

// A frame length the way a formatted extraction of an int reads it; false when
// there are no digits or the value does not fit.
bool headerNumber(const std::string& text, long long& value) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const std::size_t first = i;
    value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value <= INT_MAX)
            value = value * 10 + (text[i] - '0');
    }
    if (i == first)
        return false;
    if (negative)
        value = -value;
    return value >= INT_MIN && value <= INT_MAX;
}

// What the reader must do, stated over the stream: `end` is where the bytes
// received so far end, `at` where reading stands; the bytes between are the
// ones kept from an earlier receive.
class FrameModel {
public:
    FrameModel(const std::string& the_stream, const std::vector<std::size_t>& the_chunk_ends)
        : its_stream(the_stream), its_chunk_ends(the_chunk_ends) {}

    bool atEnd() const { return its_at_end; }
    std::size_t chunksTaken() const { return its_next_chunk; }

    Outcome read() {
        const bool kept = its_at < its_end;
        if (!kept && !receive())
            return Outcome();
        const long long digits = static_cast<signed char>(its_stream[its_at]);
        // Only a header cut short by the reader's own split is completed by one receive.
        if (kept && static_cast<long long>(its_end - its_at) < digits + 1 && !receive()) {
            its_at = its_end;
            return Outcome();
        }
        if (static_cast<long long>(its_end - its_at) < digits + 1)
            return fail("Error: TCPSocketBase does not support partial header sends");
        const std::size_t headerSize = digits > 0 ? static_cast<std::size_t>(digits) : 0;
        const std::string header = its_stream.substr(its_at + 1, headerSize);
        long long length = 0;
        if (!headerNumber(header, length))
            return fail("Error: Cannot convert to int: " + header);
        if (length < 0)
            return fail("Error: Invalid message length: " + std::to_string(length));
        its_at += headerSize + 1;
        Outcome outcome;
        for (;;) {
            const std::size_t missing = static_cast<std::size_t>(length) - outcome.text.size();
            const std::size_t here = its_end - its_at;
            const std::size_t taken = here < missing ? here : missing;
            outcome.text.append(its_stream, its_at, taken);
            its_at += taken;
            if (outcome.text.size() == static_cast<std::size_t>(length) || !receive())
                return outcome;
        }
    }

private:
    bool receive() {
        if (its_next_chunk == its_chunk_ends.size()) {
            its_at_end = true;
            return false;
        }
        its_end = its_chunk_ends[its_next_chunk++];
        return true;
    }

    // A header failure drops everything received so far.
    Outcome fail(const std::string& message) {
        its_at = its_end;
        Outcome outcome;
        outcome.thrown = true;
        outcome.text = message;
        return outcome;
    }

    const std::string& its_stream;
    const std::vector<std::size_t>& its_chunk_ends;
    std::size_t its_next_chunk = 0;
    std::size_t its_at = 0;
    std::size_t its_end = 0;
    bool its_at_end = false;
};

// Hands out the stream's chunks, one per receive, then the end of the input.
class Replay {
public:
    Replay(const std::string& the_stream, const std::vector<std::size_t>& the_chunk_ends)
        : its_stream(the_stream), its_chunk_ends(the_chunk_ends) {}

    std::size_t chunksTaken() const { return its_next_chunk; }

    Outcome read() {
        Outcome outcome;
        try {
            const std::vector<char> payload = vtsupport::detail::receiveFrame(
                its_carried, [this](char* buffer, std::size_t capacity) {
                    if (its_next_chunk == its_chunk_ends.size())
                        return std::size_t{0};
                    const std::size_t begin =
                        its_next_chunk == 0 ? 0 : its_chunk_ends[its_next_chunk - 1];
                    const std::size_t size = its_chunk_ends[its_next_chunk++] - begin;
                    if (size > capacity)
                        std::abort();
                    std::memcpy(buffer, its_stream.data() + begin, size);
                    return size;
                });
            outcome.text.assign(payload.begin(), payload.end());
        } catch (const std::string& message) {
            outcome.thrown = true;
            outcome.text = message;
        }
        return outcome;
    }

private:
    const std::string& its_stream;
    const std::vector<std::size_t>& its_chunk_ends;
    std::size_t its_next_chunk = 0;
    std::vector<char> its_carried;
};

std::string frames(FuzzInput& input) {
    std::string stream;
    while (input.size > 0) {
        const std::size_t announced = input.byte();
        const std::string digits = std::to_string(announced);
        stream += static_cast<char>(digits.size());
        stream += digits;
        stream += input.take(announced);
    }
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input{data, size};
    const std::uint8_t flags = input.byte();
    std::vector<std::size_t> sizes;
    for (int i = (flags >> 1) & 15; i > 0; --i) {
        const std::uint8_t value = input.byte();
        sizes.push_back(value == 0 ? receiveSize : value);
    }
    if (sizes.empty())
        sizes.push_back(receiveSize);
    const std::string stream = (flags & 1) != 0 ? frames(input) : input.rest();
    std::vector<std::size_t> ends;
    for (std::size_t at = 0, i = 0; at < stream.size(); ++i) {
        at += sizes[i % sizes.size()];
        ends.push_back(at < stream.size() ? at : stream.size());
    }

    FrameModel model(stream, ends);
    Replay replay(stream, ends);
    while (!model.atEnd()) {
        if (replay.read() != model.read() || replay.chunksTaken() != model.chunksTaken())
            std::abort();
    }
    // The input has ended: every further read is empty.
    for (int i = 0; i < 2; ++i) {
        if (replay.read() != Outcome())
            std::abort();
    }
    return 0;
}
