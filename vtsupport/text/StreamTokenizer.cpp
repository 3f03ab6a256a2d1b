// The tokenizer's state machine.
//
// Classifying is a table lookup: its_char_flags holds, per character, whether
// it is whitespace and whether it is in the quote and ordinary sets; the two
// dynamic rules (a quote after the escape token is a word character, an
// ordinary character inside quoted text is a word character) are applied on
// top. Characters come from the stream buffer, word runs in bulk, into a reused string.
//
// Lines: its_current_line is 1 plus the line feeds read so far, whitespace
// tokens or not, comments included; its_token_line copies it only when a word
// begins, so single-character tokens and quoted text leave lineno() alone.
#include "vtsupport/text/StreamTokenizer.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>
#include <streambuf>

#include "vtsupport/text/GetArea.h"
#include "vtsupport/text/TokenizerChars.h"
#include "vtsupport/utils/JAssert.h"

namespace {

using SimpleDOM::kOrdinary, SimpleDOM::kQuote, SimpleDOM::kSpace;

// A marker ends the token when its last occurrence starts at the token's
// length minus its own; the empty marker ends every token.
bool endsWith(const std::string& the_token, const std::string& the_marker) {
    return the_token.size() >= the_marker.size() &&
           std::equal(the_marker.rbegin(), the_marker.rend(), the_token.rbegin());
}

// What istream::get does, minus the per-character sentry: a failed stream
// answers -1 (and gains failbit), the end sets eofbit and failbit.
inline int readFrom(std::istream& in) {
    if (!in.good()) {
        in.setstate(std::ios::failbit);
        return -1;
    }
    int c;
    try {
        c = in.rdbuf()->sbumpc();
    } catch (...) {
        in.setstate(std::ios::badbit);
        return -1;
    }
    if (c == std::char_traits<char>::eof()) {
        in.setstate(std::ios::eofbit | std::ios::failbit);
        return -1;
    }
    return c;
}

} // namespace

const char* StreamTokenizer::TT_EOF = "StreamTokenizer::TT_EOF";

StreamTokenizer::StreamTokenizer(std::istream& the_stream)
    : its_in_quote(false), its_whitespace_tokens(false), its_stream(&the_stream), its_escape("\\"),
      its_ordinary_chars(";:,."), its_last_token(-1), its_pending_token(-1), its_quote_chars("\"'"),
      its_current_line(1), its_token_line(1) {
    updateCharFlags();
}

StreamTokenizer::~StreamTokenizer() = default;

// One token of look-ahead only: a second push-back before the first was taken
// is a caller's error (reported when assertions are on for this file, else it
// replaces the first). nextToken never hands back an empty pushed-back token.
void StreamTokenizer::pushBack(const std::string& the_token) {
    JAssert(its_pushback_token.length() == 0);
    its_pushback_token = the_token;
}

// nextToken has just emptied the push-back, so pushing back cannot trip the
// assertion here and the token is stored directly. An empty token (empty
// quoted text) is therefore peeked but not handed out again, as with pushBack.
std::string StreamTokenizer::peekToken() {
    std::string token;
    nextToken(token);
    its_pushback_token = token;
    return token;
}

int StreamTokenizer::read() {
    return readFrom(*its_stream);
}

std::string StreamTokenizer::nextToken() {
    std::string token;
    nextToken(token);
    return token;
}

void StreamTokenizer::nextToken(std::string& the_token) {
    if (!its_pushback_token.empty()) {
        the_token.assign(its_pushback_token);
        its_pushback_token.clear();
    } else if (its_pending_token != -1) {
        the_token.clear();
        the_token.push_back(static_cast<char>(its_pending_token));
        its_pending_token = -1;
    } else if (!scanBuffered(the_token)) {
        scan(the_token);
    }
    its_last_token = the_token.size() == 1 ? static_cast<unsigned char>(the_token[0]) : -1;
}

// One call reads until a token is complete. Within the call:
//   - inWord: a word has begun (and may have been cut by a comment that began
//     inside it, in which case haveResult holds the text before the comment,
//     handed out when the comment ends or the input does);
//   - inComment with inSLComment or inMLComment: skipping. A single-line
//     comment ends at the line feed, a multi-line one when the collected word
//     characters end with the end marker; whitespace and ordinary characters
//     in a comment are dropped, so they neither form nor break a marker;
//   - done: whitespace ended the token.
// Markers are matched against the collected token only, so one made of
// whitespace or ordinary characters is never seen. The collected token is
// not emptied when a comment cuts a word: the end marker is looked for in the
// word and the comment together, exactly as they were read.
//
// Quoted text: its_in_quote survives between calls. The opening quote is a
// token, the text up to the next quote character (any of them, not only the
// one that opened) is the next, and that quote character the third, held
// back in its_pending_token. Inside the quotes every class but quote is
// collected as text, and no comment marker is looked for.
//
// Runs of blanks between the XML reader's tokens are taken by takeBlankRun
// (StreamTokenizerBlankRun.cpp) instead: it must stay equivalent to calling
// this once per blank with whitespace tokens on, which is why it gives up
// whenever a token is pending or pushed back, or quoted text is open.
// Any change here to how whitespace is classified, counted or returned has
// to be made there as well.
//
// Ordinary and quote characters that end a word also wait in
// its_pending_token, as does the blank that ends a word while whitespace
// tokens are on. A quote character that ends a word opens nothing.
void StreamTokenizer::scan(std::string& the_result) {
    const std::string::size_type sl_start_length = its_sl_comment_start.length();
    const std::string::size_type ml_start_length = its_ml_comment_start.length();
    const std::string::size_type ml_end_length = its_ml_comment_end.length();
    const bool noMarkers = sl_start_length == 0 && ml_start_length == 0;
    // Without comment markers the collected token is always the result, so it
    // is collected in place; with them the two part when a comment cuts a word.
    std::string& token = noMarkers ? the_result : its_collected;
    token.clear();
    bool haveResult = false; // a comment that began inside a word set the result
    bool inWord = false;
    bool inComment = false;
    bool inSLComment = false;
    bool inMLComment = false;
    bool done = false;
    // Neither the last token nor the settings change during one call.
    const bool escaped = lastTokenIsEscape();
    std::istream& in = *its_stream;
    if (std::ostream* tied = in.tie())
        tied->flush();
    const auto resultIsToken = [&] {
        if (&the_result != &token)
            the_result = token;
    };

    int c = readFrom(in);
    while (c != -1) {
        const unsigned char flags = its_char_flags[c];
        int charClass = CC_WORD;
        if (flags & kSpace)
            charClass = CC_WHITESPACE;
        else if (flags & kQuote)
            charClass = escaped ? CC_WORD : CC_QUOTE;
        else if (flags & kOrdinary)
            charClass = its_in_quote ? CC_WORD : CC_ORDINARY;

        if (charClass == CC_ORDINARY || charClass == CC_QUOTE) {
            if (inComment) {
                // skipped with the comment
            } else if (inWord || its_in_quote) {
                // Ends the word or the quoted text; the character comes next.
                // Only a quote character that ends quoted text closes it.
                resultIsToken();
                its_pending_token = c;
                if (!inWord && charClass == CC_QUOTE)
                    its_in_quote = !its_in_quote;
                return;
            } else {
                // A token of its own (clear and push_back keep the capacity).
                the_result.clear();
                the_result.push_back(static_cast<char>(c));
                if (charClass == CC_QUOTE)
                    its_in_quote = !its_in_quote;
                return;
            }
        } else if (charClass == CC_WORD) {
            if (inMLComment) {
                token += static_cast<char>(c);
                if (endsWith(token, its_ml_comment_end)) {
                    token.clear();
                    inMLComment = false;
                    inComment = false;
                    if (inWord)
                        return; // the text before the comment
                }
            } else if (inSLComment) {
                // skipped to the line end
            } else {
                if (!inWord && !its_in_quote) {
                    inWord = true;
                    its_token_line = its_current_line;
                }
                token += static_cast<char>(c);
                if (noMarkers || its_in_quote) {
                    // The common case: take the rest of the run of plain word
                    // characters without going through the whole dispatch,
                    // in bulk as far as the stream buffer holds them.
                    std::streambuf& buffer = *in.rdbuf();
                    SimpleDOM::takeWordRun(buffer, its_char_flags, token);
                    c = readFrom(in);
                    while (c != -1 && its_char_flags[c] == 0) {
                        token += static_cast<char>(c);
                        SimpleDOM::takeWordRun(buffer, its_char_flags, token);
                        c = readFrom(in);
                    }
                    continue;
                }
                if (sl_start_length != 0 && endsWith(token, its_sl_comment_start)) {
                    inComment = true;
                    inSLComment = true;
                    if (token.length() == sl_start_length) {
                        inWord = false;
                        token.clear();
                    } else {
                        the_result.assign(token, 0, token.length() - sl_start_length);
                        haveResult = true;
                    }
                }
                if (ml_start_length != 0) {
                    // A start marker without an end marker is a caller's error.
                    // Left dormant, the empty end marker closes the comment at
                    // the first word character after the start marker.
                    JAssert(ml_end_length);
                    if (endsWith(token, its_ml_comment_start)) {
                        inComment = true;
                        inMLComment = true;
                        if (token.length() == ml_start_length) {
                            inWord = false;
                            token.clear();
                        } else {
                            the_result.assign(token, 0, token.length() - ml_start_length);
                            haveResult = true;
                        }
                    }
                }
            }
        } else { // CC_WHITESPACE
            if (inComment) {
                // skipped with the comment
            } else if (inWord) {
                resultIsToken();
                inWord = false;
                done = true;
                if (its_whitespace_tokens)
                    its_pending_token = c;
            } else if (its_in_quote) {
                token += static_cast<char>(c);
            } else if (its_whitespace_tokens) {
                the_result.clear();
                the_result.push_back(static_cast<char>(c));
                done = true;
            }
            if (c == '\n') {
                ++its_current_line;
                if (inSLComment) {
                    inSLComment = false;
                    inComment = false;
                    if (inWord)
                        return; // the text before the comment
                }
            }
            if (done)
                return;
        }
        c = readFrom(in);
    }

    // The end of the input. A word or quoted text still being collected is
    // handed out first; the next call then finds the end again.
    if (haveResult)
        return;
    if (!inComment && (inWord || its_in_quote) && !token.empty())
        resultIsToken();
    else
        the_result = TT_EOF;
}

int StreamTokenizer::classify(int the_char) const {
    if (the_char < 0 || the_char > 255)
        return CC_WORD;
    const unsigned char flags = its_char_flags[the_char];
    if (flags & kSpace)
        return CC_WHITESPACE;
    if (flags & kQuote)
        return lastTokenIsEscape() ? CC_WORD : CC_QUOTE;
    if (flags & kOrdinary)
        return its_in_quote ? CC_WORD : CC_ORDINARY;
    return CC_WORD;
}

void StreamTokenizer::setOrdinaryChars(const std::string& the_chars) {
    its_ordinary_chars = the_chars;
    updateCharFlags();
}

void StreamTokenizer::setQuoteChars(const std::string& the_chars) {
    its_quote_chars = the_chars;
    updateCharFlags();
}

// Whitespace follows the C library's isspace in the locale in force when the
// tokenizer is made or its character sets change.
void StreamTokenizer::updateCharFlags() {
    for (int c = 0; c < 256; ++c)
        its_char_flags[c] = std::isspace(c) ? kSpace : 0;
    for (char c : its_quote_chars)
        its_char_flags[static_cast<unsigned char>(c)] |= kQuote;
    for (char c : its_ordinary_chars)
        its_char_flags[static_cast<unsigned char>(c)] |= kOrdinary;
}
