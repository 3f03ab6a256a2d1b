// Library-internal: the tokenizer's character-class table, one byte of class bits per character,
// and how the XML reader sets up its tokenizer, written once for the reader's own scan and for
// whatever tokenizes as it does through a StreamTokenizer (tests, benchmarks).
#pragma once

#include <cstring>
#include <string>

#include "vtsupport/platform/detail/LocaleSpaces.h"
#include "vtsupport/text/StreamTokenizer.h"

namespace vtsupport {
namespace detail {

// A character with none of these bits is a word character. kXmlSpace marks blank, tab, line feed
// and carriage return (all four kSpace too): the four whitespace tokens the XML reader collects or
// skips (vertical tab and form feed, whitespace to the tokenizer, are words to the reader).
enum CharClassBit : unsigned char { kSpace = 1, kQuote = 2, kOrdinary = 4, kXmlSpace = 8 };
using CharClassTable = unsigned char[256];

// A new tokenizer's sets and escape character.
constexpr char kDefaultOrdinaryChars[] = ";:,.";
constexpr char kDefaultQuoteChars[] = "\"'";
constexpr char kDefaultEscape[] = "\\";

inline bool isXmlSpace(int the_char) {
    return the_char == ' ' || the_char == '\t' || the_char == '\n' || the_char == '\r';
}
// Whitespace follows the C library's isspace in the locale in force when the table is filled; quote
// and ordinary membership follow the two sets.
inline void fillCharClasses(CharClassTable& the_table, const std::string& the_quote_chars,
                            const std::string& the_ordinary_chars) {
    fillSpaceClass(the_table, 0, kSpace);
    for (char c : the_quote_chars)
        the_table[static_cast<unsigned char>(c)] |= kQuote;
    for (char c : the_ordinary_chars)
        the_table[static_cast<unsigned char>(c)] |= kOrdinary;
}

// The reader's tokenizer: the six markup characters, in this order, in front of the ordinary set so
// far; no quoting (the double quote is ordinary); whitespace tokens.
constexpr char kXmlMarkupChars[] = ">=<?/\"";
constexpr bool kXmlWhitespaceTokens = true;
inline void configureForXml(StreamTokenizer& the_tokenizer) {
    the_tokenizer.setOrdinaryChars(kXmlMarkupChars + the_tokenizer.getOrdinaryChars());
    the_tokenizer.setQuoteChars("");
    the_tokenizer.setWhitespaceTokens(kXmlWhitespaceTokens);
}
// The table of a tokenizer set up so from the start, with kXmlSpace besides: the characters below
// 128, which every locale classifies alike, made once at compile time; the upper half by isspace,
// as fillCharClasses gives it.
struct XmlAsciiClasses {
    constexpr XmlAsciiClasses() : its_classes() {
        for (const char c : {'\v', '\f'})
            its_classes[static_cast<unsigned char>(c)] = kSpace;
        for (const char c : {' ', '\t', '\n', '\r'})
            its_classes[static_cast<unsigned char>(c)] = kSpace | kXmlSpace;
        for (const char* c = ">=<?/\";:,."; *c != '\0'; ++c)
            its_classes[static_cast<unsigned char>(*c)] = kOrdinary;
    }
    unsigned char its_classes[128];
};
inline constexpr XmlAsciiClasses kXmlAsciiClasses{};
inline void fillXmlCharClasses(CharClassTable& the_table) {
    std::memcpy(the_table, kXmlAsciiClasses.its_classes, sizeof kXmlAsciiClasses.its_classes);
    fillSpaceClass(the_table, 128, kSpace);
}

} // namespace detail
} // namespace vtsupport
