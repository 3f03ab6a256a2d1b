// A stream buffer over a text that hands it out one character per refill, or
// (unbuffered) keeps no get area at all, so that every character goes through
// underflow and uflow: readers that take runs straight from the buffer must not
// depend on how it is filled. Header-only: the fuzz targets use it too. The text
// must outlive the buffer.
#pragma once

#include <cstddef>
#include <streambuf>
#include <string>

namespace vttest {
class TrickleBuffer : public std::streambuf {
public:
    TrickleBuffer(const std::string& the_text, bool the_unbuffered)
        : its_text(the_text), its_unbuffered(the_unbuffered) {}

protected:
    int_type underflow() override {
        if (its_next >= its_text.size())
            return traits_type::eof();
        if (its_unbuffered)
            return traits_type::to_int_type(its_text[its_next]);
        its_char = its_text[its_next++];
        setg(&its_char, &its_char, &its_char + 1);
        return traits_type::to_int_type(its_char);
    }
    int_type uflow() override {
        const int_type c = its_unbuffered ? underflow() : std::streambuf::uflow();
        its_next += its_unbuffered && c != traits_type::eof() ? 1 : 0;
        return c;
    }

private:
    const std::string& its_text;
    const bool its_unbuffered;
    std::size_t its_next = 0;
    char its_char = 0;
};
} // namespace vttest
