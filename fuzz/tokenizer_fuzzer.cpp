// The tokenizer under random settings: it must end with TT_EOF after a number
// of tokens bounded by the input, and with whitespace tokens on and no comment
// markers its tokens must put the input back together exactly.
//
// Input layout: a settings byte, then four length-prefixed sets (ordinary
// characters, quote characters, single-line marker, multi-line start and end
// markers share the last two), then the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "fuzz/FuzzInput.h"
#include "vtsupport/text/StreamTokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input{data, size};
    auto chunk = [&input] { return input.take(input.byte() % 4); };
    const std::uint8_t settings = input.byte();
    const std::string ordinary = chunk();
    const std::string quotes = chunk();
    const std::string slMarker = chunk();
    const std::string mlStart = chunk();
    std::string mlEnd = chunk();
    if (mlEnd.empty())
        mlEnd = "*/"; // the end marker must be set whenever a start marker is
    const std::string text = input.rest();

    std::istringstream in(text);
    StreamTokenizer tokenizer(in);
    if (settings & 1)
        tokenizer.setOrdinaryChars(ordinary);
    if (settings & 2)
        tokenizer.setQuoteChars(quotes);
    const bool comments = (settings & 4) != 0;
    if (comments) {
        tokenizer.setSLCommentStart(slMarker);
        tokenizer.setMLCommentStart(mlStart);
        tokenizer.setMLCommentEnd(mlEnd);
    }
    tokenizer.setEscapeChar(static_cast<char>(settings & 8       ? '\\'
                                              : ordinary.empty() ? '"'
                                                                 : ordinary[0]));
    const bool whitespaceTokens = (settings & 16) != 0;
    tokenizer.setWhitespaceTokens(whitespaceTokens);
    const bool toggling = (settings & 32) != 0; // switch whitespace tokens every few tokens
    const bool peeking = (settings & 64) != 0;

    std::string joined;
    std::size_t count = 0;
    for (;;) {
        if (peeking && count % 3 == 0) {
            const std::string peeked = tokenizer.peekToken();
            if (!peeked.empty() && tokenizer.nextToken() != peeked)
                std::abort();
            if (peeked.empty())
                continue; // an empty token is not handed out twice
            if (peeked == StreamTokenizer::TT_EOF)
                break;
            joined += peeked;
        } else {
            const std::string token = tokenizer.nextToken();
            if (token == StreamTokenizer::TT_EOF)
                break;
            joined += token;
        }
        if (toggling && count % 5 == 4)
            tokenizer.setWhitespaceTokens(!tokenizer.getWhitespaceTokens());
        if (++count > 2 * text.size() + 2)
            std::abort(); // more tokens than the input can hold
    }
    // The input may itself hold the end token's text as a word.
    if (text.find(StreamTokenizer::TT_EOF) != std::string::npos)
        return 0;
    if (tokenizer.nextToken() != StreamTokenizer::TT_EOF)
        std::abort(); // the end stays the end
    const bool exact = whitespaceTokens && !toggling && !comments;
    if (exact && joined != text)
        std::abort();
    return 0;
}
