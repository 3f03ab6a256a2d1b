// The tokenizer under random settings: it must end with TT_EOF after a number
// of tokens bounded by the input, and with whitespace tokens on and no comment
// markers its tokens must put the input back together exactly. The same input
// read one character per refill, and with no buffer at all, must give the
// same tokens on the same lines, and so must the plain rules of
// ReferenceTokenizer.h.
//
// Input layout: a settings byte, then four length-prefixed sets (ordinary
// characters, quote characters, single-line marker, multi-line start and end
// markers share the last two), then the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <streambuf>
#include <string>

#include "../tests/support/TrickleBuffer.h"
#include "ReferenceTokenizer.h"
#include "fuzz/FuzzInput.h"
#include "vtsupport/text/StreamTokenizer.h"

namespace {

struct Settings {
    std::uint8_t flags;
    std::string ordinary, quotes, slMarker, mlStart, mlEnd;
};

bool whitespaceTokens(const StreamTokenizer& the_tokenizer) {
    return the_tokenizer.getWhitespaceTokens();
}
void setWhitespaceTokens(StreamTokenizer& the_tokenizer, bool the_flag) {
    the_tokenizer.setWhitespaceTokens(the_flag);
}
bool whitespaceTokens(const reference::Tokenizer& the_tokenizer) {
    return the_tokenizer.whitespaceTokens;
}
void setWhitespaceTokens(reference::Tokenizer& the_tokenizer, bool the_flag) {
    the_tokenizer.whitespaceTokens = the_flag;
}

char escapeOf(const Settings& set) {
    return static_cast<char>(set.flags & 8 ? '\\' : set.ordinary.empty() ? '"' : set.ordinary[0]);
}

// Reads the whole input. Returns every token with its line, for comparing;
// `joined` gets the tokens put together.
template <typename Tokenizer>
std::string record(Tokenizer& tokenizer, const Settings& set, std::size_t limit,
                   std::string& joined) {
    setWhitespaceTokens(tokenizer, (set.flags & 16) != 0);
    const bool toggling = (set.flags & 32) != 0; // switch whitespace tokens every few tokens
    const bool peeking = (set.flags & 64) != 0;

    std::string record;
    std::size_t count = 0;
    for (;;) {
        std::string token;
        if (peeking && count % 3 == 0) {
            token = tokenizer.peekToken();
            if (!token.empty() && tokenizer.nextToken() != token)
                std::abort();
            if (token.empty())
                continue; // an empty token is not handed out twice
        } else {
            token = tokenizer.nextToken();
        }
        record += token + "@" + std::to_string(tokenizer.lineno()) + "|";
        if (token == StreamTokenizer::TT_EOF)
            break;
        joined += token;
        if (toggling && count % 5 == 4)
            setWhitespaceTokens(tokenizer, !whitespaceTokens(tokenizer));
        if (++count > limit)
            std::abort(); // more tokens than the input can hold
    }
    // The end stays the end.
    record += tokenizer.nextToken();
    return record;
}

std::string session(std::istream& in, const Settings& set, std::size_t limit, std::string& joined) {
    StreamTokenizer tokenizer(in);
    if (set.flags & 1)
        tokenizer.setOrdinaryChars(set.ordinary);
    if (set.flags & 2)
        tokenizer.setQuoteChars(set.quotes);
    if (set.flags & 4) {
        tokenizer.setSLCommentStart(set.slMarker);
        tokenizer.setMLCommentStart(set.mlStart);
        tokenizer.setMLCommentEnd(set.mlEnd);
    }
    tokenizer.setEscapeChar(escapeOf(set));
    return record(tokenizer, set, limit, joined);
}

// The same by the plain rules.
std::string referenceSession(std::istream& in, const Settings& set, std::size_t limit) {
    reference::Tokenizer tokenizer(in);
    if (set.flags & 1)
        tokenizer.ordinary = set.ordinary;
    if (set.flags & 2)
        tokenizer.quotes = set.quotes;
    if (set.flags & 4) {
        tokenizer.slStart = set.slMarker;
        tokenizer.mlStart = set.mlStart;
        tokenizer.mlEnd = set.mlEnd;
    }
    tokenizer.escape.assign(1, escapeOf(set));
    std::string ignored;
    return record(tokenizer, set, limit, ignored);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput reader{data, size};
    Settings set;
    set.flags = reader.byte();
    set.ordinary = reader.take(reader.byte() % 4);
    set.quotes = reader.take(reader.byte() % 4);
    set.slMarker = reader.take(reader.byte() % 4);
    set.mlStart = reader.take(reader.byte() % 4);
    set.mlEnd = reader.take(reader.byte() % 4);
    if (set.mlEnd.empty())
        set.mlEnd = "*/"; // the end marker must be set whenever a start marker is
    const std::string text(reinterpret_cast<const char*>(reader.data), reader.size);
    const std::size_t limit = 2 * text.size() + 2;

    std::string joined;
    std::istringstream in(text);
    const std::string whole = session(in, set, limit, joined);
    std::istringstream plain(text);
    if (referenceSession(plain, set, limit) != whole)
        std::abort();
    for (bool unbuffered : {false, true}) {
        vttest::TrickleBuffer source(text, unbuffered);
        std::istream slow(&source);
        std::string ignored;
        if (session(slow, set, limit, ignored) != whole)
            std::abort();
    }
    // The input may itself hold the end token's text as a word.
    if (text.find(StreamTokenizer::TT_EOF) != std::string::npos)
        return 0;
    const std::string end = StreamTokenizer::TT_EOF;
    if (whole.size() < end.size() || whole.compare(whole.size() - end.size(), end.size(), end) != 0)
        std::abort(); // the end stays the end
    const bool exact = (set.flags & 16) && !(set.flags & 32) && !(set.flags & 4);
    if (exact && joined != text)
        std::abort();
    return 0;
}
