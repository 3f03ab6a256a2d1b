// Library-internal: how the XML reader sets up its tokenizer, written once for
// the reader's own scan state and for everything that tokenizes the way it
// does through a StreamTokenizer (the fuzz target's reference reader, tests,
// benchmarks).
#pragma once

#include <cctype>
#include <cstring>
#include <string>

#include "vtsupport/text/StreamTokenizer.h"
#include "vtsupport/text/detail/CharClasses.h"

namespace vtsupport {
namespace detail {

// The six markup characters, in this order, in front of the ordinary set so far.
constexpr char kXmlMarkupChars[] = ">=<?/\"";
inline std::string xmlOrdinaryChars(const std::string& the_previous) {
    return kXmlMarkupChars + the_previous;
}
// No quoting: the double quote is an ordinary character.
constexpr char kXmlQuoteChars[] = "";
constexpr bool kXmlWhitespaceTokens = true;

inline void configureForXml(StreamTokenizer& the_tokenizer) {
    the_tokenizer.setOrdinaryChars(xmlOrdinaryChars(the_tokenizer.getOrdinaryChars()));
    the_tokenizer.setQuoteChars(kXmlQuoteChars);
    the_tokenizer.setWhitespaceTokens(kXmlWhitespaceTokens);
}

// The class table of a tokenizer configured so from the start, made once at
// compile time for the characters below 128, which every locale classifies
// alike, with kXmlSpace besides.
struct XmlAsciiClasses {
    constexpr XmlAsciiClasses() : its_classes() {
        for (const char c : {' ', '\t', '\n', '\v', '\f', '\r'})
            its_classes[static_cast<unsigned char>(c)] = kSpace;
        for (const char c : {' ', '\t', '\n', '\r'})
            its_classes[static_cast<unsigned char>(c)] |= kXmlSpace;
        for (const char* c = kXmlMarkupChars; *c != '\0'; ++c)
            its_classes[static_cast<unsigned char>(*c)] = kOrdinary;
        for (const char* c = kDefaultOrdinaryChars; *c != '\0'; ++c)
            its_classes[static_cast<unsigned char>(*c)] = kOrdinary;
    }
    unsigned char its_classes[128];
};
inline constexpr XmlAsciiClasses kXmlAsciiClasses{};

// The whole table: the fixed half, and the upper half by isspace in the
// locale in force, as fillCharClasses gives it.
inline void fillXmlCharClasses(CharClassTable& the_table) {
    std::memcpy(the_table, kXmlAsciiClasses.its_classes, sizeof kXmlAsciiClasses.its_classes);
    for (int c = 128; c < 256; ++c)
        the_table[c] = std::isspace(c) ? kSpace : 0;
}

} // namespace detail
} // namespace vtsupport
