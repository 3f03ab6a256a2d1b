// Library-internal: the characters of an input stream in pieces, straight from its buffer's get
// area. A scan moves its_next over what it takes; fill() hands that to the buffer (gbump) and asks
// for more. A buffer with no get area is read through pieces of one character, taken at once
// (sbumpc, as istream::get does) or, for a scan that may stop before it, shown (sgetc) and taken
// once passed. The stream gains eofbit and failbit at the end of the input, badbit when its buffer
// throws.
#pragma once

#include <climits>
#include <cstddef>
#include <istream>
#include <ostream>
#include <streambuf>

// For the few functions of a hot loop that must be inlined, and cold paths.
#if defined(_MSC_VER)
#define VTSUPPORT_DETAIL_INLINE __forceinline
#define VTSUPPORT_DETAIL_NOINLINE __declspec(noinline)
#else
#define VTSUPPORT_DETAIL_INLINE inline __attribute__((always_inline))
#define VTSUPPORT_DETAIL_NOINLINE __attribute__((noinline))
#endif

namespace vtsupport {
namespace detail {

// The get area of any stream buffer (members named through a derived class).
struct GetAreaAccess : std::streambuf {
    static char* next(std::streambuf& the_buffer) { return (the_buffer.*&GetAreaAccess::gptr)(); }
    static char* end(std::streambuf& the_buffer) { return (the_buffer.*&GetAreaAccess::egptr)(); }
    static void skip(std::streambuf& the_buffer, int the_count) {
        (the_buffer.*&GetAreaAccess::gbump)(the_count);
    }
};
// Every byte value in its place: a piece of one character needs no storage.
struct ByteValues {
    constexpr ByteValues() : its_chars() {
        for (int c = 0; c < 256; ++c)
            its_chars[c] = static_cast<char>(c);
    }
    char its_chars[256];
};
inline constexpr ByteValues kByteValues{};

class StreamCursor {
public:
    // On a stream opened by open(): the_buffer is what it gave.
    StreamCursor(std::istream& the_stream, std::streambuf* the_buffer)
        : its_stream(the_stream), its_buffer(the_buffer) {
        if (its_buffer != nullptr)
            takeGetArea();
    }
    StreamCursor(const StreamCursor&) = delete;
    StreamCursor& operator=(const StreamCursor&) = delete;
    // What finish() has not handed over is handed over here, never throwing (it matters only when a
    // scan is left by an exception).
    ~StreamCursor() {
        if (its_next == its_start)
            return;
        try {
            release();
        } catch (...) {
        }
    }
    // Hands over the characters taken (an unbuffered stream's failure may throw here, as from
    // istream::get, with its exceptions on).
    void finish() {
        if (its_next != its_start)
            release();
    }
    // Hands over the characters taken and makes the next piece current; false at the end of the
    // input. Without a get area the one character is taken at once unless the_peek says the scan
    // may stop before it.
    bool fill(bool the_peek) {
        finish();
        if (its_buffer == nullptr)
            return false;
        if (takeGetArea())
            return true;
        const int c = takeOne(its_stream, *its_buffer, the_peek);
        if (c < 0) {
            its_buffer = nullptr;
            return false;
        }
        if (the_peek && takeGetArea())
            return true; // the peek refilled the get area
        // A character taken by sbumpc stands alone whatever the buffer holds after it.
        its_one_char = true;
        its_taken = !the_peek;
        its_start = &kByteValues.its_chars[c];
        its_next = its_start;
        its_end = its_start + 1;
        return true;
    }
    const char* its_next = nullptr;
    const char* its_end = nullptr;

    // The stream's buffer, or null (failbit set) when it has failed or ended. Flushes the tied
    // stream first when the_flush_tie says so, as a sentry does.
    static std::streambuf* open(std::istream& the_stream, bool the_flush_tie) {
        if (the_flush_tie && the_stream.tie() != nullptr)
            the_stream.tie()->flush();
        if (!the_stream.good()) {
            the_stream.setstate(std::ios::failbit);
            return nullptr;
        }
        return the_stream.rdbuf();
    }

private:
    // The characters the buffer holds as the piece; false when it holds none.
    bool takeGetArea() {
        const char* const begin = GetAreaAccess::next(*its_buffer);
        its_one_char = false;
        its_start = begin;
        its_next = begin;
        its_end = GetAreaAccess::end(*its_buffer);
        return begin != its_end;
    }
    // The get area is empty: one character through the buffer's virtual functions, or -1 at the end
    // (eofbit, failbit) or when it throws (badbit).
    VTSUPPORT_DETAIL_NOINLINE static int takeOne(std::istream& the_stream,
                                                 std::streambuf& the_buffer, bool the_peek) {
        int c;
        try {
            c = the_peek ? the_buffer.sgetc() : the_buffer.sbumpc();
        } catch (...) {
            the_stream.setstate(std::ios::badbit);
            return -1;
        }
        if (c == std::char_traits<char>::eof()) {
            the_stream.setstate(std::ios::eofbit | std::ios::failbit);
            return -1;
        }
        return c;
    }
    // Takes the character a peek has shown; false (badbit) when the buffer throws.
    VTSUPPORT_DETAIL_NOINLINE static bool bumpOne(std::istream& the_stream,
                                                  std::streambuf& the_buffer) {
        try {
            the_buffer.sbumpc();
            return true;
        } catch (...) {
            the_stream.setstate(std::ios::badbit);
            return false;
        }
    }
    // Takes from the buffer what the scan has moved past.
    void release() {
        std::ptrdiff_t taken = its_next - its_start;
        its_start = its_next;
        if (!its_one_char) {
            for (; taken > INT_MAX; taken -= INT_MAX) // gbump takes an int
                GetAreaAccess::skip(*its_buffer, INT_MAX);
            GetAreaAccess::skip(*its_buffer, static_cast<int>(taken));
        } else if (!its_taken && !bumpOne(its_stream, *its_buffer)) {
            its_buffer = nullptr;
        }
    }
    std::istream& its_stream;
    // Null once the input has ended or failed.
    std::streambuf* its_buffer;
    const char* its_start = nullptr;
    // A piece of one character was either taken by fill() or is taken by release().
    bool its_one_char = false;
    bool its_taken = false;
};

} // namespace detail
} // namespace vtsupport
