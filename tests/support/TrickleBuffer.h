// A stream buffer over a text (which must outlive it) that hands out a few characters per refill
// or, unbuffered, keeps no get area, so that every character goes through underflow and uflow:
// readers that take runs straight from the buffer must not depend on how it is filled.
#pragma once

#include <cstddef>
#include <streambuf>
#include <string>

namespace vttest {
struct TrickleBuffer : std::streambuf {
    TrickleBuffer(const std::string& the_text, bool the_unbuffered, std::size_t the_piece = 1)
        : its_text(the_text), its_piece(the_unbuffered ? 0 : the_piece) {}
    int_type underflow() override {
        if (its_next >= its_text.size())
            return traits_type::eof();
        if (its_piece == 0)
            return traits_type::to_int_type(its_text[its_next]);
        its_chars = its_text.substr(its_next, its_piece);
        its_next += its_chars.size();
        setg(&its_chars[0], &its_chars[0], &its_chars[0] + its_chars.size());
        return traits_type::to_int_type(its_chars[0]);
    }
    int_type uflow() override {
        const int_type c = its_piece == 0 ? underflow() : std::streambuf::uflow();
        its_next += its_piece == 0 && c != traits_type::eof() ? 1 : 0;
        return c;
    }
    const std::string& its_text;
    const std::size_t its_piece; // 0: unbuffered
    std::size_t its_next = 0;
    std::string its_chars;
};
} // namespace vttest
