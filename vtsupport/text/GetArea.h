// Library-internal: the get area of any stream buffer, so that the tokenizer
// can scan the characters already buffered and take them in bulk, leaving
// refills (and their failures) to sbumpc and sgetc as before. Naming the
// protected members through a derived class is what makes the member
// pointers legal; they then apply to every std::streambuf.
#pragma once

#include <climits>
#include <cstddef>
#include <streambuf>
#include <string>

namespace SimpleDOM {

struct GetArea : std::streambuf {
    static const char* next(std::streambuf& the_buffer) { return (the_buffer.*&GetArea::gptr)(); }
    // The end of the buffered characters, at most INT_MAX past next (gbump takes an int).
    static const char* end(std::streambuf& the_buffer) {
        const char* begin = next(the_buffer);
        const char* end = (the_buffer.*&GetArea::egptr)();
        return end - begin > INT_MAX ? begin + INT_MAX : end;
    }
    static void skip(std::streambuf& the_buffer, std::size_t the_count) {
        (the_buffer.*&GetArea::gbump)(static_cast<int>(the_count));
    }
};

// Appends to the_token the buffered characters that have no class flag (plain
// word characters) and takes them from the buffer; stops at the first other
// character or at the end of what is buffered.
inline void takeWordRun(std::streambuf& the_buffer, const unsigned char* the_flags,
                        std::string& the_token) {
    const char* const begin = GetArea::next(the_buffer);
    const char* const end = GetArea::end(the_buffer);
    const char* p = begin;
    while (p < end && the_flags[static_cast<unsigned char>(*p)] == 0)
        ++p;
    if (p != begin) {
        the_token.append(begin, static_cast<std::size_t>(p - begin));
        GetArea::skip(the_buffer, static_cast<std::size_t>(p - begin));
    }
}

} // namespace SimpleDOM
