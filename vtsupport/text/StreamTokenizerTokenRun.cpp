// The XML reader's shortcut through texts and attribute values.
//
// Between one tag and the next, and between the quotes of an attribute value,
// the reader appends (nearly) every token to a buffer and changes no state, so
// one pass over the characters the stream buffer holds does the work of a
// call of nextToken per token. It must stay equivalent to those calls: the
// same characters taken, the same line counts, the same last token.
#include <istream>
#include <ostream>
#include <streambuf>

#include "vtsupport/text/GetArea.h"
#include "vtsupport/text/StreamTokenizer.h"
#include "vtsupport/text/TokenizerChars.h"

using SimpleDOM::isBlank;

// With quoting and comments off, every character with a class flag (space or
// ordinary) is a token of its own and every maximal run of the others is a
// word; a word begins after any one-character token, and a stop character,
// being ordinary, ends it. Characters are classified by the same table as in
// scan, so the locale's extra whitespace is a one-character token here too.
bool StreamTokenizer::takeTokenRun(std::string& the_sink, char the_stop, char the_other_stop,
                                   bool the_keep_blanks, std::string& the_last_token) {
    using SimpleDOM::GetArea;
    const unsigned char stop = static_cast<unsigned char>(the_stop);
    const unsigned char otherStop = static_cast<unsigned char>(the_other_stop);
    if (!its_whitespace_tokens || its_in_quote || !its_pushback_token.empty() ||
        its_pending_token != -1 || !its_quote_chars.empty() || !its_sl_comment_start.empty() ||
        !its_ml_comment_start.empty() || its_char_flags[stop] == 0 ||
        its_char_flags[otherStop] == 0)
        return false;
    std::istream& in = *its_stream;
    if (!in.good())
        return false;
    if (std::ostream* tied = in.tie())
        tied->flush();
    std::streambuf& buffer = *in.rdbuf();
    bool inWord = false;
    std::string::size_type wordStart = 0;
    int last = -1;
    try {
        for (int c = buffer.sgetc();
             c != std::char_traits<char>::eof() && c != stop && c != otherStop;
             c = buffer.sgetc()) {
            const char* const begin = GetArea::next(buffer);
            const char* const end = GetArea::end(buffer);
            if (begin == end) {
                // A buffer that hands out characters without a get area: the
                // character sgetc showed is taken alone.
                buffer.sbumpc();
                if (its_char_flags[c] == 0) {
                    if (!inWord) {
                        inWord = true;
                        wordStart = the_sink.size();
                        its_token_line = its_current_line;
                    }
                } else {
                    inWord = false;
                    if (c == '\n')
                        ++its_current_line;
                }
                if (the_keep_blanks || !isBlank(c))
                    the_sink.push_back(static_cast<char>(c));
                last = c;
                continue;
            }
            // Stretches of characters that all go to the sink are appended at once.
            const char* p = begin;
            const char* kept = begin;
            while (p < end) {
                const unsigned char ch = static_cast<unsigned char>(*p);
                if (its_char_flags[ch] == 0) {
                    // A word: it began here unless it goes on from the last stretch.
                    if (!inWord) {
                        inWord = true;
                        wordStart = the_sink.size() + static_cast<std::string::size_type>(p - kept);
                        its_token_line = its_current_line;
                    }
                    ++p;
                    while (p < end && its_char_flags[static_cast<unsigned char>(*p)] == 0)
                        ++p;
                    continue;
                }
                if (ch == stop || ch == otherStop)
                    break;
                inWord = false;
                if (ch == '\n')
                    ++its_current_line;
                if (!the_keep_blanks && isBlank(ch)) {
                    if (p != kept)
                        the_sink.append(kept, static_cast<std::size_t>(p - kept));
                    kept = p + 1;
                }
                ++p;
            }
            if (p != kept)
                the_sink.append(kept, static_cast<std::size_t>(p - kept));
            if (p != begin) {
                last = static_cast<unsigned char>(p[-1]);
                GetArea::skip(buffer, static_cast<std::size_t>(p - begin));
            }
        }
    } catch (...) {
        in.setstate(std::ios::badbit);
    }
    if (last == -1)
        return false;
    if (inWord)
        the_last_token.assign(the_sink, wordStart, std::string::npos);
    else {
        the_last_token.clear();
        the_last_token.push_back(static_cast<char>(last));
    }
    its_last_token = the_last_token.size() == 1 ? last : -1;
    return true;
}

// A token already pushed back is what the peek finds; otherwise the next
// token is read straight into the push-back, as peekToken would store it.
const std::string& StreamTokenizer::peekInPlace() {
    if (its_pushback_token.empty())
        nextToken(its_pushback_token);
    else
        its_last_token =
            its_pushback_token.size() == 1 ? static_cast<unsigned char>(its_pushback_token[0]) : -1;
    return its_pushback_token;
}
