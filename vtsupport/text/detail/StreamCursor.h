// Library-internal: the characters of an input stream in pieces, straight
// from its buffer's get area, for scanning runs of them at once.
//
// A piece [its_next, its_end) is what the buffer already holds; the scan
// moves its_next over the characters it takes, and fill() hands them over to
// the buffer (gbump) and asks it for more (sgetc, which refills). A buffer
// that keeps no get area (an unbuffered one) is read through a piece of one
// character: a scan that takes every character it looks at takes it at once
// (sbumpc), as istream::get does; one that may stop before it (a run) has it
// shown (sgetc) and taken only once it has moved past it. Characters a scan
// stops before therefore stay in the stream, and the stream gains eofbit and
// failbit at the end of the input, badbit when its buffer throws.
#pragma once

#include <climits>
#include <cstddef>
#include <istream>
#include <ostream>
#include <streambuf>

namespace vtsupport {
namespace detail {

// The get area of any stream buffer. Naming the protected members through a
// derived class is what makes the member pointers legal; they then apply to
// every std::streambuf.
struct GetAreaAccess : std::streambuf {
    static char* next(std::streambuf& the_buffer) { return (the_buffer.*&GetAreaAccess::gptr)(); }
    static char* end(std::streambuf& the_buffer) { return (the_buffer.*&GetAreaAccess::egptr)(); }
    static void skip(std::streambuf& the_buffer, int the_count) {
        (the_buffer.*&GetAreaAccess::gbump)(the_count);
    }
};

class StreamCursor {
public:
    // Starts with an empty piece and reads nothing until the first fill(),
    // which first flushes the tied stream when the_flush_tie says so, as an
    // istream's sentry does. A stream that has already failed or ended then
    // gains failbit and gives nothing, as istream::get would do.
    StreamCursor(std::istream& the_stream, bool the_flush_tie)
        : its_stream(the_stream), its_flush_tie(the_flush_tie) {}
    StreamCursor(const StreamCursor&) = delete;
    StreamCursor& operator=(const StreamCursor&) = delete;
    // Whatever finish() has not handed over yet is handed over here; a stream
    // that would throw for the badbit this may set does not (a destructor
    // must not throw), which only matters when a scan is left by an exception.
    ~StreamCursor() {
        try {
            release();
        } catch (...) {
        }
    }

    // Hands over the characters taken. With the stream's exceptions on, the
    // badbit an unbuffered stream's failure sets throws here, as it would from
    // istream::get.
    void finish() { release(); }

    // Hands over the characters taken and makes the next piece current; false
    // at the end of the input (or once the stream has failed). Without a get
    // area the one character is taken at once (sbumpc) unless the_peek says
    // the scan may stop before it.
    bool fill(bool the_peek) {
        release();
        if (its_buffer == nullptr) {
            if (its_ended)
                return false;
            if (its_flush_tie && its_stream.tie() != nullptr)
                its_stream.tie()->flush();
            if (!its_stream.good()) {
                fail(std::ios::failbit);
                return false;
            }
            its_buffer = its_stream.rdbuf();
        }
        its_one_char = GetAreaAccess::next(*its_buffer) == GetAreaAccess::end(*its_buffer);
        if (its_one_char) {
            int c;
            try {
                c = the_peek ? its_buffer->sgetc() : its_buffer->sbumpc();
            } catch (...) {
                fail(std::ios::badbit);
                return false;
            }
            if (c == std::char_traits<char>::eof()) {
                fail(std::ios::eofbit | std::ios::failbit);
                return false;
            }
            // A peek may have refilled the get area; a character taken by
            // sbumpc stands alone whatever the buffer holds after it.
            its_one_char =
                !the_peek || GetAreaAccess::next(*its_buffer) == GetAreaAccess::end(*its_buffer);
            its_taken = !the_peek;
            its_single = static_cast<char>(c);
        }
        const char* begin = &its_single;
        const char* end = begin + 1;
        if (!its_one_char) {
            begin = GetAreaAccess::next(*its_buffer);
            end = GetAreaAccess::end(*its_buffer);
            if (end - begin > INT_MAX)
                end = begin + INT_MAX; // gbump takes an int
        }
        its_start = begin;
        its_next = begin;
        its_end = end;
        return true;
    }

    const char* its_next = nullptr;
    const char* its_end = nullptr;

private:
    // Takes from the buffer what the scan has moved past.
    void release() {
        const std::ptrdiff_t taken = its_next - its_start;
        its_start = its_next;
        if (taken == 0)
            return;
        if (!its_one_char) {
            GetAreaAccess::skip(*its_buffer, static_cast<int>(taken));
            return;
        }
        if (its_taken)
            return;
        try {
            its_buffer->sbumpc();
        } catch (...) {
            fail(std::ios::badbit);
        }
    }

    void fail(std::ios::iostate the_state) {
        its_buffer = nullptr;
        its_ended = true;
        its_stream.setstate(the_state);
    }

    std::istream& its_stream;
    const bool its_flush_tie;
    std::streambuf* its_buffer = nullptr;
    bool its_ended = false;
    const char* its_start = nullptr;
    // Set by every fill(); release() reads them only after one. A piece of
    // one character was either taken by fill() or is taken by release().
    bool its_one_char;
    bool its_taken;
    char its_single;
};

} // namespace detail
} // namespace vtsupport
