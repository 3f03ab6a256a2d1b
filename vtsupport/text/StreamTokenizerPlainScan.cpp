// The tokenizer's shortcut for the tokens that make up most of any input: a
// one-character token, or a word that ends, still inside the stream buffer's
// get area, at whitespace or at an ordinary character. scan gives the same
// tokens, state and line counts for these; everything else (quoted text,
// quote characters, comment markers, a word that runs to the end of what is
// buffered, a failed stream) is left to it, with nothing read.
#include <istream>
#include <ostream>
#include <streambuf>

#include "vtsupport/text/GetArea.h"
#include "vtsupport/text/StreamTokenizer.h"
#include "vtsupport/text/TokenizerChars.h"

using SimpleDOM::kOrdinary, SimpleDOM::kQuote, SimpleDOM::kSpace;

bool StreamTokenizer::scanBuffered(std::string& the_result) {
    using SimpleDOM::GetArea;
    if (its_in_quote || !its_sl_comment_start.empty() || !its_ml_comment_start.empty())
        return false;
    std::istream& in = *its_stream;
    if (!in.good() || in.tie() != nullptr)
        return false;
    std::streambuf& buffer = *in.rdbuf();
    const char* const begin = GetArea::next(buffer);
    const char* const end = GetArea::end(buffer);
    if (begin == end)
        return false;
    const unsigned char first = static_cast<unsigned char>(*begin);
    const unsigned char flags = its_char_flags[first];
    if (flags & kSpace) {
        if (!its_whitespace_tokens)
            return false;
        if (first == '\n')
            ++its_current_line;
        the_result.clear();
        the_result.push_back(static_cast<char>(first));
        GetArea::skip(buffer, 1);
        return true;
    }
    if (flags & kQuote)
        return false;
    if (flags & kOrdinary) {
        the_result.clear();
        the_result.push_back(static_cast<char>(first));
        GetArea::skip(buffer, 1);
        return true;
    }
    // A word, taken only when its end lies in the buffer.
    const char* p = begin + 1;
    while (p < end && its_char_flags[static_cast<unsigned char>(*p)] == 0)
        ++p;
    if (p == end)
        return false;
    const unsigned char after = static_cast<unsigned char>(*p);
    const unsigned char afterFlags = its_char_flags[after];
    // Right after the escape token a quote character is a word character.
    if (!(afterFlags & kSpace) && (afterFlags & kQuote) && lastTokenIsEscape())
        return false;
    its_token_line = its_current_line;
    if (afterFlags & kSpace) {
        // The blank that ends the word is read with it; it comes back as the
        // next token only while whitespace tokens are on.
        if (after == '\n')
            ++its_current_line;
        if (its_whitespace_tokens)
            its_pending_token = after;
    } else {
        // An ordinary or quote character ends the word and comes next, as
        // itself, opening nothing.
        its_pending_token = after;
    }
    the_result.assign(begin, static_cast<std::size_t>(p - begin));
    GetArea::skip(buffer, static_cast<std::size_t>(p + 1 - begin));
    return true;
}
