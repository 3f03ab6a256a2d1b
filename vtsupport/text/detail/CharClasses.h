// Library-internal: the tokenizer's character-class table, one byte of class
// bits per character, shared by the scan and everything that classifies.
#pragma once

#include <cctype>
#include <string>

namespace vtsupport {
namespace detail {

// A character with none of these bits is a word character. kXmlSpace marks
// blank, tab, line feed and carriage return (all four kSpace too): XML's own
// white space, the four whitespace tokens the XML reader collects or skips
// (vertical tab and form feed, whitespace to the tokenizer, are words to the
// reader). Whitespace in every locale.
enum CharClassBit : unsigned char { kSpace = 1, kQuote = 2, kOrdinary = 4, kXmlSpace = 8 };

using CharClassTable = unsigned char[256];

// A new tokenizer's sets and escape character.
constexpr char kDefaultOrdinaryChars[] = ";:,.";
constexpr char kDefaultQuoteChars[] = "\"'";
constexpr char kDefaultEscape[] = "\\";

inline bool isXmlSpace(int the_char) {
    return the_char == ' ' || the_char == '\t' || the_char == '\n' || the_char == '\r';
}

// Whitespace follows the C library's isspace in the locale in force when the
// table is filled; quote and ordinary membership follow the two sets.
inline void fillCharClasses(CharClassTable& the_table, const std::string& the_quote_chars,
                            const std::string& the_ordinary_chars) {
    for (int c = 0; c < 256; ++c)
        the_table[c] = std::isspace(c) ? kSpace : 0;
    for (char c : the_quote_chars)
        the_table[static_cast<unsigned char>(c)] |= kQuote;
    for (char c : the_ordinary_chars)
        the_table[static_cast<unsigned char>(c)] |= kOrdinary;
}

} // namespace detail
} // namespace vtsupport
