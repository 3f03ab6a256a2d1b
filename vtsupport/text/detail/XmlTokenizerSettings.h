// Library-internal: how the XML reader sets up its tokenizer, written once for
// the reader's own scan state and for everything that tokenizes the way it
// does through a StreamTokenizer (the fuzz target's reference reader, tests,
// benchmarks).
#pragma once

#include <string>

#include "vtsupport/text/StreamTokenizer.h"

namespace vtsupport {
namespace detail {

// The six markup characters, in this order, in front of the ordinary set so far.
inline std::string xmlOrdinaryChars(const std::string& the_previous) {
    return ">=<?/\"" + the_previous;
}
// No quoting: the double quote is an ordinary character.
constexpr char kXmlQuoteChars[] = "";
constexpr bool kXmlWhitespaceTokens = true;

inline void configureForXml(StreamTokenizer& the_tokenizer) {
    the_tokenizer.setOrdinaryChars(xmlOrdinaryChars(the_tokenizer.getOrdinaryChars()));
    the_tokenizer.setQuoteChars(kXmlQuoteChars);
    the_tokenizer.setWhitespaceTokens(kXmlWhitespaceTokens);
}

} // namespace detail
} // namespace vtsupport
