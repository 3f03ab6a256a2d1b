// Library-internal: the tokenizer's one scan loop, shared by StreamTokenizer
// and the XML reader's token rules (inline, so that each caller reaches its
// own fields directly and pays for nothing it does not use).
//
// The loop takes the characters the stream buffer holds in pieces
// (StreamCursor), refilling as it goes, and keeps where it stands in one Scan
// value. Stretches that need no decision per character are found with the
// class table and appended at once, their line feeds counted over the
// stretch: a word, quoted text up to the next quote character, and skipped
// whitespace. Everything else is decided one character at a time.
//
// Classes: whitespace (isspace), quote and ordinary characters come from the
// table; a quote character right after the escape token is a word character,
// and so is an ordinary character inside quoted text.
//
// Lines: its_current_line is 1 plus the line feeds read so far, comments
// included; its_token_line copies it only when a word begins, so
// one-character tokens and quoted text leave lineno() alone.
//
// Comments: markers are matched against the collected word characters only,
// so a marker of whitespace or ordinary characters is never seen, and inside
// a comment the characters of the other classes are dropped. A comment that
// begins inside a word makes the text before it the result, handed out when
// the comment ends (or at the end of the input). The collected characters are
// kept when a comment begins: the end marker is looked for in the word and the
// comment together, exactly as they were read. Both markers may match on the
// same character; then each comment ends by its own rule, and once one has
// ended the other goes on hiding only the characters it alone would hide.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <utility>

#include "vtsupport/text/StreamTokenizer.h"
#include "vtsupport/text/detail/CharClasses.h"
#include "vtsupport/text/detail/StreamCursor.h"
#include "vtsupport/utils/detail/JAssertAt.h"

namespace vtsupport {
namespace detail {

// A tokenizer's fields as the scan reads and changes them: the settings, and
// the state kept between tokens, held by the tokenizer (a StreamTokenizer or
// the XML reader). Made for one call where the scan is inlined, so that the
// references cost nothing.
struct TokenFields {
    const unsigned char* its_classes; // the CharClassTable of the current sets
    const std::string& its_escape;
    const std::string& its_sl_comment_start;
    const std::string& its_ml_comment_start;
    const std::string& its_ml_comment_end;
    const bool& its_whitespace_tokens;
    // The token being collected while comment markers are set.
    std::string& its_collected;
    bool& its_in_quote;
    int& its_current_line;
    int& its_token_line;
    // The one-character token that ended the previous word or quoted text; -1 if none.
    int& its_pending_token;
    // The token most recently returned, as far as classifying needs it: its
    // character when it was one character long (the escape always is), else -1.
    int& its_last_token;
};

// Line feeds in [the_begin, the_end). Counted in blocks whose count fits in
// a byte, which the compiler turns into vector code.
inline int countLineFeeds(const char* the_begin, const char* the_end) {
    int count = 0;
    const char* p = the_begin;
    for (; the_end - p >= 64; p += 64) {
        unsigned char block = 0;
        for (int i = 0; i < 64; ++i)
            block = static_cast<unsigned char>(block + (p[i] == '\n'));
        count += block;
    }
    for (; p != the_end; ++p)
        count += *p == '\n';
    return count;
}

// the_string becomes the one character the_char. Tokens are mostly one
// character, and replacing the first of a string that is not empty costs
// less than clearing it and appending.
VTSUPPORT_DETAIL_INLINE void assignChar(std::string& the_string, unsigned char the_char) {
    if (the_string.empty()) {
        the_string.push_back(static_cast<char>(the_char));
        return;
    }
    the_string[0] = static_cast<char>(the_char);
    the_string.erase(1);
}

// The end of the run of plain word characters (no class bit) from the_begin.
inline const char* wordEnd(const unsigned char* the_classes, const char* the_begin,
                           const char* the_end) {
    while (the_begin < the_end && the_classes[static_cast<unsigned char>(*the_begin)] == 0)
        ++the_begin;
    return the_begin;
}

namespace scanning {

enum class Scan : unsigned char {
    Between,               // nothing collected yet
    Word,                  // collecting a word
    Quoted,                // collecting quoted text
    LineComment,           // skipping to the line feed
    LineCommentAfterWord,  // the same, the word before the comment being the result
    BlockComment,          // skipping to the end marker
    BlockCommentAfterWord, // the same, the word before the comment being the result
    BothComments,          // both markers matched on one character
    BothCommentsAfterWord, // the same, the word before them being the result
    LineCommentRest,       // the block comment of BothComments ended: word characters skipped
    BlockCommentRest       // its line comment ended: word characters collected for the end marker
};

// Whitespace, ordinary and quote characters are dropped in these.
inline bool hidesAll(Scan the_scan) {
    return the_scan >= Scan::LineComment && the_scan <= Scan::BothCommentsAfterWord;
}

inline bool endsWith(const std::string& the_token, const std::string& the_marker) {
    return the_token.size() >= the_marker.size() &&
           std::equal(the_marker.rbegin(), the_marker.rend(), the_token.rbegin());
}

// The next piece of the stream after [the_next, the_end) has been taken;
// false at the end of the input.
VTSUPPORT_DETAIL_INLINE bool refill(StreamCursor& the_cursor, const char*& the_next,
                                    const char*& the_end) {
    the_cursor.its_next = the_next;
    if (!the_cursor.fill(false))
        return false;
    the_next = the_cursor.its_next;
    the_end = the_cursor.its_end;
    return true;
}

// Whether the token handed out last was the escape, which takes the meaning
// of quote characters for the next one.
VTSUPPORT_DETAIL_INLINE bool escaped(const TokenFields& the_fields) {
    return the_fields.its_last_token == static_cast<unsigned char>(the_fields.its_escape[0]);
}

// Outside quoted text, whether a character of the_bits (not whitespace) is a
// token of its own: a quote character unless the escape token came before
// it, an ordinary character.
VTSUPPORT_DETAIL_INLINE bool endsToken(unsigned char the_bits, const TokenFields& the_fields) {
    return (the_bits & kQuote) ? !escaped(the_fields) : (the_bits & kOrdinary) != 0;
}

// What a character does between tokens.
enum class Between {
    Skip,     // whitespace while whitespace tokens are off
    OwnToken, // a token of its own: whitespace, an ordinary or a quote character
    Word      // the first of a word
};

VTSUPPORT_DETAIL_INLINE Between between(unsigned char the_bits, const TokenFields& the_fields) {
    if (the_bits & kSpace)
        return the_fields.its_whitespace_tokens ? Between::OwnToken : Between::Skip;
    return the_bits != 0 && endsToken(the_bits, the_fields) ? Between::OwnToken : Between::Word;
}

// A character that is a token of its own into the_result; a quote character
// opens quoted text.
VTSUPPORT_DETAIL_INLINE void ownToken(const TokenFields& the_fields, unsigned char the_char,
                                      unsigned char the_bits, std::string& the_result) {
    assignChar(the_result, the_char);
    if (the_bits & kSpace) {
        if (the_char == '\n')
            ++the_fields.its_current_line;
    } else if (the_bits & kQuote) {
        the_fields.its_in_quote = true;
    }
}

VTSUPPORT_DETAIL_INLINE void resultIs(const std::string& the_token, std::string& the_result) {
    if (&the_token != &the_result)
        the_result = the_token;
}

// One call of nextToken that finds nothing held back: the next token into
// the_result, TT_EOF at the end of the input. the_markers: comment markers are
// set, and the token is collected in the_fields.its_collected (otherwise in
// the_result itself). The loop's phases are places in the code: between
// tokens, in a word, in quoted text, and (with markers) in a comment, whose
// kind and whether a word came before it the Scan value tells.
template <bool the_markers>
VTSUPPORT_DETAIL_INLINE void scanToken(const TokenFields& the_fields, StreamCursor& the_cursor,
                                       std::string& the_result) {
    const unsigned char* const classes = the_fields.its_classes;
    std::string& token = the_markers ? the_fields.its_collected : the_result;
    Scan scan = Scan::Between;
    unsigned char c;
    unsigned char bits;
    const char* p = the_cursor.its_next;
    const char* end = the_cursor.its_end;
    if (the_markers) {
        token.clear();
        the_result.clear();
    }
    if (the_fields.its_in_quote)
        goto quoted;

between:
    for (;;) {
        if (p == end && !refill(the_cursor, p, end))
            goto ended;
        c = static_cast<unsigned char>(*p++);
        bits = classes[c];
        switch (between(bits, the_fields)) {
        case Between::Skip: {
            // The stretch of whitespace is skipped at once.
            const char* q = p - 1;
            while (q < end && (classes[static_cast<unsigned char>(*q)] & kSpace))
                ++q;
            the_fields.its_current_line += countLineFeeds(p - 1, q);
            p = q;
            continue;
        }
        case Between::OwnToken:
            ownToken(the_fields, c, bits, the_result);
            goto done;
        case Between::Word:
            break;
        }
        // A word begins with this character.
        the_fields.its_token_line = the_fields.its_current_line;
        token.clear();
        --p;
        goto word;
    }

word:
    scan = Scan::Word;
    for (;;) {
        if (!the_markers) {
            // The stretch of plain word characters is taken at once.
            const char* q = wordEnd(classes, p, end);
            token.append(p, static_cast<std::size_t>(q - p));
            p = q;
        }
        if (p == end && !refill(the_cursor, p, end))
            goto ended;
        c = static_cast<unsigned char>(*p++);
        bits = classes[c];
        if (bits & kSpace) {
            // The word ends; the blank comes back next only while
            // whitespace tokens are on.
            resultIs(token, the_result);
            if (the_fields.its_whitespace_tokens)
                the_fields.its_pending_token = c;
            if (c == '\n')
                ++the_fields.its_current_line;
            goto done;
        }
        if (bits != 0 && endsToken(bits, the_fields)) {
            // Ends the word and comes next, opening nothing.
            resultIs(token, the_result);
            the_fields.its_pending_token = c;
            goto done;
        }
        token.push_back(static_cast<char>(c));
        if (!the_markers)
            continue;
        {
            bool inWord = true;
            // A comment begins when the collected characters end with its
            // marker; the text before the marker, if any, is the result.
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
            const std::string& slStart = the_fields.its_sl_comment_start;
            const std::string& mlStart = the_fields.its_ml_comment_start;
            const bool line = !slStart.empty() && beginsComment(slStart);
            bool block = false;
            if (!mlStart.empty()) {
                // A start marker without an end marker is a caller's error.
                // Left dormant, the empty end marker closes the comment at
                // the first word character after the start marker.
                const std::string::size_type ml_end_length = the_fields.its_ml_comment_end.length();
                JAssertAt("StreamTokenizer", 243, ml_end_length);
                block = beginsComment(mlStart);
            }
            if (line && block)
                scan = inWord ? Scan::BothCommentsAfterWord : Scan::BothComments;
            else if (line)
                scan = inWord ? Scan::LineCommentAfterWord : Scan::LineComment;
            else if (block)
                scan = inWord ? Scan::BlockCommentAfterWord : Scan::BlockComment;
            else
                continue;
            goto comment;
        }
    }

quoted:
    // Up to the next quote character, which ends the text and comes next;
    // after the escape token none does, and the text runs to the end.
    scan = Scan::Quoted;
    token.clear();
    for (;;) {
        const char* q = escaped(the_fields) ? end : p;
        while (q < end && !(classes[static_cast<unsigned char>(*q)] & kQuote))
            ++q;
        the_fields.its_current_line += countLineFeeds(p, q);
        token.append(p, static_cast<std::size_t>(q - p));
        p = q;
        if (p == end) {
            if (!refill(the_cursor, p, end))
                goto ended;
            continue;
        }
        c = static_cast<unsigned char>(*p++);
        if (classes[c] & kSpace) {
            // Whitespace first, whatever sets it is in.
            if (c == '\n')
                ++the_fields.its_current_line;
            token.push_back(static_cast<char>(c));
            continue;
        }
        resultIs(token, the_result);
        the_fields.its_pending_token = c;
        the_fields.its_in_quote = false;
        goto done;
    }

comment:
    // Comment markers only: skipping a comment, or what is left of two.
    for (;;) {
        if (p == end && !refill(the_cursor, p, end))
            goto ended;
        c = static_cast<unsigned char>(*p++);
        bits = classes[c];
        if (bits & kSpace) {
            bool isToken = false;
            if (!hidesAll(scan) && the_fields.its_whitespace_tokens) {
                assignChar(the_result, c);
                isToken = true;
            }
            if (c == '\n') {
                ++the_fields.its_current_line;
                switch (scan) {
                case Scan::LineComment:
                case Scan::LineCommentRest:
                    if (isToken)
                        goto done;
                    goto between;
                case Scan::BothComments:
                    scan = Scan::BlockCommentRest;
                    break;
                case Scan::LineCommentAfterWord:
                case Scan::BothCommentsAfterWord:
                    goto done; // the text before the comment
                default:
                    break;
                }
            }
            if (isToken)
                goto done;
            continue;
        }
        if (bits != 0 && endsToken(bits, the_fields)) {
            if (hidesAll(scan))
                continue;
            ownToken(the_fields, c, bits, the_result);
            goto done;
        }
        switch (scan) {
        case Scan::LineComment:
        case Scan::LineCommentAfterWord:
        case Scan::LineCommentRest:
            continue; // skipped to the line end
        default:
            break;
        }
        token.push_back(static_cast<char>(c));
        if (!endsWith(token, the_fields.its_ml_comment_end))
            continue;
        token.clear();
        if (scan == Scan::BlockCommentAfterWord || scan == Scan::BothCommentsAfterWord)
            goto done; // the text before the comment
        if (scan != Scan::BothComments)
            goto between;
        scan = Scan::LineCommentRest;
    }

ended:
    // The end of the input. A word or quoted text still being collected is
    // handed out first; the next call then finds the end again. With markers,
    // a word cut by a comment is.
    if (the_markers && !the_result.empty())
        return;
    if ((scan == Scan::Word || scan == Scan::Quoted) && !token.empty())
        resultIs(token, the_result);
    else
        the_result = StreamTokenizer::TT_EOF;
    return;

done:
    the_cursor.its_next = p;
}

} // namespace scanning

// The token held back, if any, into the_token: the pushed-back one, else the
// pending one (which is then gone). False when none is held back.
inline bool takeHeldToken(std::string& the_pushback, int& the_pending, std::string& the_token) {
    if (!the_pushback.empty()) {
        the_token.swap(the_pushback);
        the_pushback.clear();
        return true;
    }
    if (the_pending == -1)
        return false;
    assignChar(the_token, static_cast<unsigned char>(the_pending));
    the_pending = -1;
    return true;
}

// What a tokenizer remembers of the token it hands out (its_last_token).
inline int lastTokenOf(const std::string& the_token) {
    return the_token.size() == 1 ? static_cast<unsigned char>(the_token[0]) : -1;
}

// A token scanned from the stream through the_cursor, which must be over the
// tokenizer's stream and its only reader (nothing held back). TT_EOF at the
// end of the input.
VTSUPPORT_DETAIL_INLINE void scanToken(const TokenFields& the_fields, StreamCursor& the_cursor,
                                       std::string& the_token) {
    if (!the_fields.its_sl_comment_start.empty() || !the_fields.its_ml_comment_start.empty())
        scanning::scanToken<true>(the_fields, the_cursor, the_token);
    else
        scanning::scanToken<false>(the_fields, the_cursor, the_token);
}

// For a tokenizer that reads its stream only while it scans a token: when the
// first character the_buffer holds (the stream opened by StreamCursor::open
// for this token) is a token of its own, takes it into the_token without
// setting up the loop, and answers true. Most tokens are such characters.
VTSUPPORT_DETAIL_INLINE bool takeOwnToken(const TokenFields& the_fields, std::streambuf* the_buffer,
                                          std::string& the_token) {
    if (the_buffer == nullptr || the_fields.its_in_quote)
        return false;
    const char* const next = GetAreaAccess::next(*the_buffer);
    if (next == GetAreaAccess::end(*the_buffer))
        return false;
    const unsigned char c = static_cast<unsigned char>(*next);
    const unsigned char bits = the_fields.its_classes[c];
    if (scanning::between(bits, the_fields) != scanning::Between::OwnToken)
        return false;
    scanning::ownToken(the_fields, c, bits, the_token);
    GetAreaAccess::skip(*the_buffer, 1);
    return true;
}

// The next token: the one held back, else one scanned from the stream.
inline void nextToken(const TokenFields& the_fields, StreamCursor& the_cursor,
                      std::string& the_pushback, std::string& the_token) {
    if (!takeHeldToken(the_pushback, the_fields.its_pending_token, the_token))
        scanToken(the_fields, the_cursor, the_token);
    the_fields.its_last_token = lastTokenOf(the_token);
}

} // namespace detail
} // namespace vtsupport
