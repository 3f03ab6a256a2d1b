// Library-internal: the tokenizer's one scan, shared by StreamTokenizer and the XML reader (inline,
// so that each reaches its own state directly). A token is a view into the stream buffer's piece,
// into the source's spill when it went on past the piece (or was collected with comment markers
// set), or into static text (TT_EOF). Source::refill hands out the next piece, keeping first what
// its owner still needs of the old one. Lines: its_current_line is 1 plus the line feeds read so
// far, its_token_line copies it when a word begins.
//
// Comments: markers are matched against the collected word characters only; inside a comment the
// other classes' characters are dropped. A comment that begins inside a word makes the text before
// it the result, handed out when the comment ends; the end marker is looked for in the word and the
// comment together. When both markers match on one character, each comment ends by its own rule,
// and then the other hides only what it alone would hide.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "vtsupport/text/StreamTokenizer.h"
#include "vtsupport/text/detail/CharClasses.h"
#include "vtsupport/text/detail/StreamCursor.h"
#include "vtsupport/utils/detail/JAssertAt.h"

namespace vtsupport {
namespace detail {

using Token = std::string_view;

// What the scan reads; the reader sets no comment markers.
struct ScanSettings {
    const unsigned char* its_classes;
    bool its_whitespace_tokens;
    unsigned char its_escape;
    const std::string& its_sl_start;
    const std::string& its_ml_start;
    const std::string& its_ml_end;
};
// What the scan keeps between tokens.
struct ScanState {
    bool its_in_quote;
    // The one-character token that ended the previous word or quoted text; -1 if none.
    int its_pending;
    // The character of the token handed out last when it was one long, else -1.
    int its_last_token;
    int its_current_line;
    int its_token_line;
};
// Line feeds in [the_begin, the_end), counted in blocks (vector code).
inline int countLineFeeds(const char* the_begin, const char* the_end) {
    int count = 0;
    const char* p = the_begin;
    for (; the_end - p >= 240; p += 240) {
        unsigned char block = 0;
        for (int i = 0; i < 240; ++i)
            block = static_cast<unsigned char>(block + (p[i] == '\n'));
        count += block;
    }
    for (; p != the_end; ++p)
        count += *p == '\n';
    return count;
}
// The end of the run from the_begin of classes with (bits & the_mask) == the_bits, 8 at a time.
inline const char* runEnd(const unsigned char* the_classes, unsigned char the_mask,
                          unsigned char the_bits, const char* the_begin, const char* the_end) {
    const auto in = [&](int i) {
        return (the_classes[static_cast<unsigned char>(the_begin[i])] & the_mask) == the_bits;
    };
    for (; the_end - the_begin >= 8; the_begin += 8) {
        for (int i = 0; i < 8; ++i) {
            if (!in(i))
                return the_begin + i;
        }
    }
    while (the_begin != the_end && in(0))
        ++the_begin;
    return the_begin;
}
// The end of the run of plain word characters (no class bit) from the_begin.
inline const char* wordEnd(const unsigned char* the_classes, const char* the_begin,
                           const char* the_end) {
    return runEnd(the_classes, 0xFF, 0, the_begin, the_end);
}
inline Token ownChar(unsigned char the_char) {
    return Token(&kByteValues.its_chars[the_char], 1);
}
constexpr char kEndText[] = "StreamTokenizer::TT_EOF";
// The end of the input, told from every other token by where its text is.
constexpr Token kEndToken(kEndText, sizeof kEndText - 1);

// The source of a scan: the stream's pieces, and a spill.
class TokenSource {
public:
    TokenSource(std::istream& the_stream, std::streambuf* the_buffer, std::string& the_spill)
        : its_cursor(the_stream, the_buffer), its_spill(the_spill) {}
    // The next piece, false at the end of the input. When the_taking, a token that goes on,
    // [the_partial, end) of the old one is kept in the spill first, after what it holds of the same
    // token (the_continued). the_peek: a character of an unbuffered stream is only shown
    // (StreamCursor::fill).
    bool refill(bool the_taking, const char* the_partial, bool the_continued,
                bool the_peek = false) {
        if (the_taking) {
            if (!the_continued)
                its_spill.clear();
            its_spill.append(the_partial,
                             static_cast<std::size_t>(its_cursor.its_end - the_partial));
        }
        its_cursor.its_next = its_cursor.its_end;
        return its_cursor.fill(the_peek);
    }
    StreamCursor its_cursor;
    std::string& its_spill;
};
// Whether the token handed out last was the escape (quotes lose their meaning).
inline bool escaped(const ScanSettings& the_settings, const ScanState& the_state) {
    return the_state.its_last_token == the_settings.its_escape;
}
// Outside quoted text, whether a non-blank of the_bits is a token: an ordinary or unescaped quote.
inline bool endsToken(unsigned char the_bits, const ScanSettings& the_settings,
                      const ScanState& the_state) {
    return (the_bits & kQuote) ? !escaped(the_settings, the_state) : (the_bits & kOrdinary) != 0;
}
inline bool endsWith(const std::string& the_token, const std::string& the_marker) {
    return the_token.size() >= the_marker.size() &&
           std::equal(the_marker.rbegin(), the_marker.rend(), the_token.rbegin());
}
// Between tokens, whether the_char is a token of its own (whitespace while whitespace tokens are
// on, a quote, an ordinary character); a quote opens quoted text.
inline bool ownToken(const ScanSettings& the_settings, ScanState& the_state,
                     unsigned char the_char) {
    const unsigned char bits = the_settings.its_classes[the_char];
    if (bits == kOrdinary)
        return true;
    if (bits & kSpace) {
        if (!the_settings.its_whitespace_tokens)
            return false;
        the_state.its_current_line += the_char == '\n';
        return true;
    }
    if (bits == 0 || !endsToken(bits, the_settings, the_state))
        return false;
    if (bits & kQuote)
        the_state.its_in_quote = true;
    return true;
}
// Blanks that are no token: skipped to the end of their run in the piece, their lines counted.
inline const char* skipBlanks(const ScanSettings& the_settings, ScanState& the_state,
                              const char* the_begin, const char* the_end) {
    const char* const end = runEnd(the_settings.its_classes, kSpace, kSpace, the_begin, the_end);
    the_state.its_current_line += countLineFeeds(the_begin, end);
    return end;
}
// Whether the_char ends a word; it is taken too, and comes back next unless it is whitespace while
// whitespace tokens are off.
inline bool endsWord(const ScanSettings& the_settings, ScanState& the_state,
                     unsigned char the_char) {
    const unsigned char bits = the_settings.its_classes[the_char];
    if (bits & kSpace) {
        if (the_settings.its_whitespace_tokens)
            the_state.its_pending = the_char;
        the_state.its_current_line += the_char == '\n';
        return true;
    }
    if (!endsToken(bits, the_settings, the_state))
        return false; // a quote character after the escape: a word character
    the_state.its_pending = the_char;
    return true;
}
// The whole scan of one token, nothing being held back, no comment markers set (scanWithMarkers
// takes them); TT_EOF at the end of the input.
template <class Source>
Token scanAnyToken(const ScanSettings& the_settings, ScanState& the_state, Source& the_source) {
    const unsigned char* const classes = the_settings.its_classes;
    StreamCursor& cursor = the_source.its_cursor;
    const char* p = cursor.its_next;
    bool taking = false; // a word or quoted text, from start
    const char* start = p;
    bool spilled = false; // the spill holds its beginning
    // The next piece; the token being taken, if any, goes on in it.
    const auto next = [&]() {
        cursor.its_next = p;
        const bool more = the_source.refill(taking, start, spilled);
        spilled = spilled || taking;
        p = cursor.its_next;
        start = p;
        return more;
    };
    // The token taken, the character after it (which ended it) taken too.
    const auto taken = [&](const char* the_stop) {
        cursor.its_next = the_stop + 1;
        if (!spilled)
            return Token(start, static_cast<std::size_t>(the_stop - start));
        the_source.its_spill.append(start, static_cast<std::size_t>(the_stop - start));
        return Token(the_source.its_spill);
    };
    if (!the_state.its_in_quote) {
        for (;;) { // between tokens
            if (p == cursor.its_end && !next())
                return kEndToken;
            const unsigned char c = static_cast<unsigned char>(*p);
            if (ownToken(the_settings, the_state, c)) {
                cursor.its_next = p + 1;
                return Token(p, 1);
            }
            if (!(classes[c] & kSpace))
                break;
            p = skipBlanks(the_settings, the_state, p, cursor.its_end);
        }
        // A word, up to the character that ends it, which is taken too: it comes back next, unless
        // it is whitespace while whitespace tokens are off.
        the_state.its_token_line = the_state.its_current_line;
        taking = true;
        start = p;
        for (;;) {
            p = wordEnd(classes, p, cursor.its_end);
            if (p == cursor.its_end) {
                if (!next())
                    return Token(the_source.its_spill); // the end of the input ends it
                continue;
            }
            if (endsWord(the_settings, the_state, static_cast<unsigned char>(*p)))
                return taken(p);
            ++p;
        }
    }
    // Quoted text, up to the next quote character, which ends it and comes next; after the escape
    // token none does, and the text runs to the end.
    taking = true;
    for (;;) {
        const char* const q = escaped(the_settings, the_state)
                                  ? cursor.its_end
                                  : runEnd(classes, kQuote, 0, p, cursor.its_end);
        the_state.its_current_line += countLineFeeds(p, q);
        p = q;
        if (p == cursor.its_end) {
            if (next())
                continue;
            if (!spilled || the_source.its_spill.empty())
                return kEndToken;
            return Token(the_source.its_spill);
        }
        const unsigned char c = static_cast<unsigned char>(*p);
        if (classes[c] & kSpace) { // whitespace first, whatever sets it is in
            the_state.its_current_line += c == '\n';
            ++p;
            continue;
        }
        the_state.its_pending = c;
        the_state.its_in_quote = false;
        return taken(p);
    }
}
// One token, nothing being held back: after any blanks that are no token, a character that is a
// token of its own or a word ending in the piece, at once; anything else by the whole scan.
template <class Source>
VTSUPPORT_DETAIL_INLINE Token scanToken(const ScanSettings& the_settings, ScanState& the_state,
                                        Source& the_source) {
    StreamCursor& cursor = the_source.its_cursor;
    for (const char* p = cursor.its_next; p != cursor.its_end && !the_state.its_in_quote;) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (ownToken(the_settings, the_state, c)) {
            cursor.its_next = p + 1;
            return Token(p, 1);
        }
        const unsigned char bits = the_settings.its_classes[c];
        if (bits & kSpace) { // whitespace that is no token: what follows is taken here too
            p = cursor.its_next = skipBlanks(the_settings, the_state, p, cursor.its_end);
            continue;
        }
        if (bits == 0) {
            const char* const q = wordEnd(the_settings.its_classes, p + 1, cursor.its_end);
            const int line = the_state.its_current_line;
            if (q != cursor.its_end &&
                endsWord(the_settings, the_state, static_cast<unsigned char>(*q))) {
                the_state.its_token_line = line;
                cursor.its_next = q + 1;
                return Token(p, static_cast<std::size_t>(q - p));
            }
        }
        break;
    }
    return scanAnyToken(the_settings, the_state, the_source);
}
// A scan's comments: LineRest is Both after its block comment ended, BlockRest after its line one.
enum class Comment : unsigned char { None, Line, Block, Both, LineRest, BlockRest };
// The same with comment markers set: characters one at a time, words collected in the spill, the
// text before a comment that cut a word into the_result.
template <class Source>
Token scanWithMarkers(const ScanSettings& the_settings, ScanState& the_state, Source& the_source,
                      std::string& the_result) {
    if (the_state.its_in_quote) // markers are not looked for in quoted text
        return scanToken(the_settings, the_state, the_source);
    const unsigned char* const classes = the_settings.its_classes;
    StreamCursor& cursor = the_source.its_cursor;
    std::string& token = the_source.its_spill;
    the_result.clear();
    Comment comment = Comment::None;
    bool inWord = false; // a word is being collected, or was before the comment
    // A comment begins when the collected characters end with its marker; the text before the
    // marker, if any, is the result.
    const auto beginsComment = [&](const std::string& the_marker) {
        if (!endsWith(token, the_marker))
            return false;
        if (token.length() == the_marker.length()) {
            inWord = false;
            token.clear();
        } else {
            the_result.assign(token, 0, token.length() - the_marker.length());
        }
        return true;
    };
    for (;;) {
        if (cursor.its_next == cursor.its_end && !the_source.refill(false, nullptr, false)) {
            if (!the_result.empty())
                return Token(the_result);
            return comment == Comment::None && inWord ? Token(token) : kEndToken;
        }
        const unsigned char c = static_cast<unsigned char>(*cursor.its_next++);
        const unsigned char bits = classes[c];
        if (comment == Comment::None && !inWord) { // between tokens
            if (ownToken(the_settings, the_state, c))
                return ownChar(c);
            if (bits & kSpace) {
                the_state.its_current_line += c == '\n';
                continue;
            }
            inWord = true;
            the_state.its_token_line = the_state.its_current_line;
            token.clear();
        }
        if (comment == Comment::None) { // in a word
            if (endsWord(the_settings, the_state, c))
                return Token(token);
            token.push_back(static_cast<char>(c));
            const bool line =
                !the_settings.its_sl_start.empty() && beginsComment(the_settings.its_sl_start);
            bool block = false;
            if (!the_settings.its_ml_start.empty()) {
                // A start marker without an end marker is a caller's error. Left dormant, the empty
                // end marker closes the comment at the first word character after the start marker.
                const std::string::size_type ml_end_length = the_settings.its_ml_end.length();
                JAssertAt("StreamTokenizer", 243, ml_end_length);
                block = beginsComment(the_settings.its_ml_start);
            }
            comment = line && block ? Comment::Both
                      : line        ? Comment::Line
                      : block       ? Comment::Block
                                    : Comment::None;
            continue;
        }
        // In a comment: whitespace, ordinary and quote characters are dropped until one of the two
        // has ended.
        const bool hidesAll =
            comment == Comment::Line || comment == Comment::Block || comment == Comment::Both;
        const bool lineComment = comment == Comment::Line || comment == Comment::LineRest;
        if (bits & kSpace) {
            const bool isToken = !hidesAll && the_settings.its_whitespace_tokens;
            the_state.its_current_line += c == '\n';
            if (c == '\n' && (lineComment || comment == Comment::Both)) {
                if (inWord)
                    return Token(the_result); // the text before the comment
                comment = lineComment ? Comment::None : Comment::BlockRest;
            }
            if (isToken)
                return ownChar(c);
            continue;
        }
        if (bits != 0 && endsToken(bits, the_settings, the_state)) {
            if (hidesAll)
                continue;
            ownToken(the_settings, the_state, c);
            return ownChar(c);
        }
        if (lineComment)
            continue; // skipped to the line end
        token.push_back(static_cast<char>(c));
        if (!endsWith(token, the_settings.its_ml_end))
            continue;
        token.clear();
        if (inWord)
            return Token(the_result); // the text before the comment
        comment = comment == Comment::Both ? Comment::LineRest : Comment::None;
    }
}

} // namespace detail
} // namespace vtsupport
