// Library-internal: the tokenizer's one scan loop, shared by StreamTokenizer
// and the XML reader (inline, so that the reader's many small calls cost no
// more than the scan itself).
//
// The loop serves both ways of taking characters: one token at a time, and
// the runs of tokens that the XML reader takes whole (a text up to the next
// tag, an attribute value, a stretch of blanks). A run ends exactly where the
// same tokens taken one at a time would have left the stream, and leaves the
// same lines and the same last token behind.
//
// The loop takes the characters the stream buffer holds in pieces
// (StreamCursor) and keeps where it stands in one Scan value. Stretches that
// need no decision per character are found with a table or memchr search and
// appended at once, their line feeds counted over the stretch: the rest of a
// word, quoted text up to the next quote character, skipped whitespace, and
// the XML reader's runs (a text up to "<" or ">", an attribute value up to the
// double quote, blanks). Everything else is decided one character at a time.
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
#include <istream>
#include <string>
#include <utility>

#include "vtsupport/text/StreamTokenizer.h"
#include "vtsupport/text/detail/CharClasses.h"
#include "vtsupport/text/detail/StreamCursor.h"
#include "vtsupport/utils/detail/JAssertAt.h"

namespace vtsupport {
namespace detail {

// A new tokenizer's sets and escape character.
constexpr char kDefaultOrdinaryChars[] = ";:,.";
constexpr char kDefaultQuoteChars[] = "\"'";
constexpr char kDefaultEscape[] = "\\";

// A tokenizer's state as a scan reads and changes it: the settings, and the
// fields it keeps between tokens, all held by the tokenizer (a StreamTokenizer
// or the XML reader) and reached through this view.
struct TokenState {
    std::istream* its_stream;
    // The CharClassTable of the current sets.
    const unsigned char* its_classes;
    // The token being collected while comment markers are set.
    std::string* its_collected;
    const std::string* its_sl_comment_start;
    const std::string* its_ml_comment_start;
    const std::string* its_ml_comment_end;
    // The escape character, as an unsigned char value.
    int its_escape;
    // Whether any character is a quote character.
    bool its_quoting;
    const bool& its_whitespace_tokens;
    bool& its_in_quote;
    int& its_current_line;
    int& its_token_line;
    // The one-character token that ended the previous word or quoted text; -1 if none.
    int& its_pending_token;
    // The token most recently returned, as far as classifying needs it: its
    // character when it was one character long (the escape is always one
    // character), else -1.
    int& its_last_token;
};

// What a run of tokens ends at and where its tokens go.
struct TokenRun {
    enum Kind : unsigned char {
        // Every token up to the next its_stop or its_other_stop character (both
        // ordinary), which stays in the stream.
        kText,
        // Blank, tab, line feed and carriage return tokens, as many as follow.
        kBlanks
    };
    Kind its_kind;
    char its_stop;
    char its_other_stop;
    // Blank, tab, line feed and carriage return tokens go to the sink too.
    bool its_keep_blanks;
};

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
    BlockCommentRest,      // its line comment ended: word characters collected for the end marker
    Text,                  // a run up to a stop character
    Blanks                 // a run of blanks
};

// Whitespace, ordinary and quote characters are dropped in these.
inline bool hidesAll(Scan the_scan) {
    return the_scan >= Scan::LineComment && the_scan <= Scan::BothCommentsAfterWord;
}

inline bool endsWith(const std::string& the_token, const std::string& the_marker) {
    return the_token.size() >= the_marker.size() &&
           std::equal(the_marker.rbegin(), the_marker.rend(), the_token.rbegin());
}

// Line feeds in [the_begin, the_end); they are sparse in any text.
inline int countLineFeeds(const char* the_begin, const char* the_end) {
    int count = 0;
    for (const char* p = the_begin;; ++p, ++count) {
        p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(the_end - p)));
        if (p == nullptr)
            return count;
    }
}

// The first of the two characters in [the_begin, the_end), or the_end.
inline const char* findEither(const char* the_begin, const char* the_end, char the_one,
                              char the_other) {
    const std::size_t length = static_cast<std::size_t>(the_end - the_begin);
    const void* one = std::memchr(the_begin, the_one, length);
    const char* stop = one != nullptr ? static_cast<const char*>(one) : the_end;
    if (the_other != the_one) {
        const void* other =
            std::memchr(the_begin, the_other, static_cast<std::size_t>(stop - the_begin));
        if (other != nullptr)
            stop = static_cast<const char*>(other);
    }
    return stop;
}

// One call: a token into the_result, or a run of tokens into the run's sink.
class TokenScan {
public:
    TokenScan(TokenState& the_state, StreamCursor& the_cursor)
        : its_state(the_state), its_cursor(the_cursor), its_classes(the_state.its_classes),
          its_line(the_state.its_current_line), its_pending(the_state.its_pending_token),
          its_in_quote(the_state.its_in_quote) {}
    ~TokenScan() {
        its_state.its_current_line = its_line;
        its_state.its_pending_token = its_pending;
        its_state.its_in_quote = its_in_quote;
    }
    TokenScan(const TokenScan&) = delete;
    TokenScan& operator=(const TokenScan&) = delete;

    void token(std::string& the_result);
    bool run(const TokenRun& the_run, std::string* the_sink, std::string& the_last_token);

private:
    // The scan proper; answers true at the end of the input.
    // Plain: no comment markers, no quote characters, no quoted text open;
    // the compiler then drops what only those need.
    template <bool the_run_mode, bool the_plain>
    bool scan(std::string& the_result);
    void beginWord() { its_state.its_token_line = its_line; }
    bool textPiece(const char* the_stop);
    void textChar(unsigned char the_char);

    TokenState& its_state;
    StreamCursor& its_cursor;
    const unsigned char* const its_classes;
    int its_line;
    int its_pending;
    bool its_in_quote;
    Scan its_scan = Scan::Between;
    // Token mode: where the word or text is collected.
    std::string* its_token = nullptr;
    // Run mode.
    const TokenRun* its_run = nullptr;
    std::string* its_sink = nullptr;
    std::string::size_type its_word_start = 0; // in the sink, of the word the run is in
    bool its_in_word = false;
    int its_last = -1; // the run's last character
};

inline void TokenScan::token(std::string& the_result) {
    const bool markers =
        !its_state.its_sl_comment_start->empty() || !its_state.its_ml_comment_start->empty();
    // Without markers the collected token is always the result, so it is
    // collected in place; with them the two part when a comment cuts a word,
    // and a non-empty result at the end of the input is the text before one.
    its_token = markers ? its_state.its_collected : &the_result;
    its_token->clear();
    if (markers)
        the_result.clear();
    its_scan = its_in_quote ? Scan::Quoted : Scan::Between;
    const bool plain = !markers && !its_state.its_quoting && !its_in_quote;
    if (!(plain ? scan<false, true>(the_result) : scan<false, false>(the_result)))
        return;
    // The end of the input. A word or quoted text still being collected is
    // handed out first; the next call then finds the end again.
    if (markers && !the_result.empty())
        return;
    if ((its_scan == Scan::Word || its_scan == Scan::Quoted) && !its_token->empty()) {
        if (its_token != &the_result)
            the_result = *its_token;
    } else {
        the_result = StreamTokenizer::TT_EOF;
    }
}

template <bool the_run_mode, bool the_plain>
inline bool TokenScan::scan(std::string& the_result) {
    const unsigned char* const classes = its_classes;
    const bool escaped = !the_plain && its_state.its_last_token == its_state.its_escape;
    const bool whitespaceTokens = its_state.its_whitespace_tokens;
    const std::string& slStart = *its_state.its_sl_comment_start;
    const std::string& mlStart = *its_state.its_ml_comment_start;
    const std::string& mlEnd = *its_state.its_ml_comment_end;
    const bool markers = !the_plain && (!slStart.empty() || !mlStart.empty());
    StreamCursor& cursor = its_cursor;
    std::string& token = *its_token;
    const auto resultIsToken = [&] {
        if (&token != &the_result)
            the_result = token;
    };
    const auto takeStretch = [&](const char* the_end) {
        token.append(cursor.its_next, static_cast<std::size_t>(the_end - cursor.its_next));
        cursor.its_next = the_end;
    };

    for (;;) {
        if (cursor.its_next == cursor.its_end && !cursor.fill(the_run_mode))
            return true;
        const char* p = cursor.its_next;
        const char* const end = cursor.its_end;

        // Stretches taken at once.
        if (the_run_mode) {
            if (its_scan == Scan::Text) {
                const char* stop = findEither(p, end, its_run->its_stop, its_run->its_other_stop);
                if (textPiece(stop))
                    return false;
                continue;
            }
            // Blanks
            const char* q = p;
            while (q < end && isXmlSpace(static_cast<unsigned char>(*q)))
                ++q;
            if (q == p)
                return false;
            its_line += countLineFeeds(p, q);
            if (its_sink != nullptr)
                its_sink->append(p, static_cast<std::size_t>(q - p));
            its_last = static_cast<unsigned char>(q[-1]);
            cursor.its_next = q;
            continue;
        }
        if (its_scan == Scan::Word && !markers) {
            const char* q = p;
            while (q < end && classes[static_cast<unsigned char>(*q)] == 0)
                ++q;
            if (q != p) {
                takeStretch(q);
                continue;
            }
        } else if (!the_plain && its_scan == Scan::Quoted && !escaped) {
            const char* q = p;
            while (q < end && !(classes[static_cast<unsigned char>(*q)] & kQuote))
                ++q;
            if (q != p) {
                its_line += countLineFeeds(p, q);
                takeStretch(q);
                continue;
            }
        } else if (its_scan == Scan::Between && !whitespaceTokens) {
            const char* q = p;
            while (q < end && (classes[static_cast<unsigned char>(*q)] & kSpace))
                ++q;
            if (q != p) {
                its_line += countLineFeeds(p, q);
                cursor.its_next = q;
                continue;
            }
        }

        // One character.
        const unsigned char c = static_cast<unsigned char>(*p);
        cursor.its_next = p + 1;
        const unsigned char bits = classes[c];
        if (bits & kSpace) {
            bool done = false;
            if (!the_plain && hidesAll(its_scan)) {
                // dropped with the comment
            } else if (its_scan == Scan::Word) {
                // The word ends; the blank comes back next only while
                // whitespace tokens are on.
                resultIsToken();
                its_scan = Scan::Between;
                done = true;
                if (whitespaceTokens)
                    its_pending = c;
            } else if (!the_plain && its_scan == Scan::Quoted) {
                token += static_cast<char>(c);
            } else if (whitespaceTokens) {
                the_result.clear();
                the_result.push_back(static_cast<char>(c));
                done = true;
            }
            if (c == '\n') {
                ++its_line;
                if (!the_plain) {
                    switch (its_scan) {
                    case Scan::LineComment:
                    case Scan::LineCommentRest:
                        its_scan = Scan::Between;
                        break;
                    case Scan::BothComments:
                        its_scan = Scan::BlockCommentRest;
                        break;
                    case Scan::LineCommentAfterWord:
                    case Scan::BothCommentsAfterWord:
                        return false; // the text before the comment
                    default:
                        break;
                    }
                }
            }
            if (done)
                return false;
        } else if (the_plain         ? bits != 0
                   : (bits & kQuote) ? !escaped
                                     : (bits & kOrdinary) && !its_in_quote) {
            // An ordinary or quote character.
            if (!the_plain && hidesAll(its_scan))
                continue;
            if (its_scan == Scan::Word || its_scan == Scan::Quoted) {
                // Ends the word or the quoted text and comes next, opening
                // nothing; only a quote character that ends quoted text closes it.
                resultIsToken();
                its_pending = c;
                if (its_scan == Scan::Quoted && (bits & kQuote))
                    its_in_quote = false;
                return false;
            }
            the_result.clear();
            the_result.push_back(static_cast<char>(c));
            if (bits & kQuote)
                its_in_quote = true;
            return false;
        } else {
            // A word character.
            if (the_plain) {
                // Always the first of a word (the rest is taken as a stretch).
                its_scan = Scan::Word;
                beginWord();
                cursor.its_next = p;
                continue;
            }
            switch (its_scan) {
            case Scan::BlockComment:
            case Scan::BlockCommentAfterWord:
            case Scan::BothComments:
            case Scan::BothCommentsAfterWord:
            case Scan::BlockCommentRest:
                token += static_cast<char>(c);
                if (endsWith(token, mlEnd)) {
                    token.clear();
                    if (its_scan == Scan::BlockCommentAfterWord ||
                        its_scan == Scan::BothCommentsAfterWord)
                        return false; // the text before the comment
                    its_scan =
                        its_scan == Scan::BothComments ? Scan::LineCommentRest : Scan::Between;
                }
                continue;
            case Scan::LineComment:
            case Scan::LineCommentAfterWord:
            case Scan::LineCommentRest:
                continue; // skipped to the line end
            case Scan::Between:
                its_scan = Scan::Word;
                beginWord();
                if (bits == 0 && !markers) {
                    // A plain word character: the stretch of the word, this
                    // character included, is taken at once above.
                    cursor.its_next = p;
                    continue;
                }
                break;
            default:
                break;
            }
            token += static_cast<char>(c);
            if (its_scan == Scan::Word && markers) {
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
                const bool line = !slStart.empty() && beginsComment(slStart);
                bool block = false;
                if (!mlStart.empty()) {
                    // A start marker without an end marker is a caller's error.
                    // Left dormant, the empty end marker closes the comment at
                    // the first word character after the start marker.
                    const std::string::size_type ml_end_length = mlEnd.length();
                    JAssertAt("StreamTokenizer", 243, ml_end_length);
                    block = beginsComment(mlStart);
                }
                if (line && block)
                    its_scan = inWord ? Scan::BothCommentsAfterWord : Scan::BothComments;
                else if (line)
                    its_scan = inWord ? Scan::LineCommentAfterWord : Scan::LineComment;
                else if (block)
                    its_scan = inWord ? Scan::BlockCommentAfterWord : Scan::BlockComment;
            }
        }
    }
}

// Run mode, kText: the piece up to the_stop (a stop character, or the end of
// what is buffered) is taken whole. Answers true when the run has ended.
inline bool TokenScan::textPiece(const char* the_stop) {
    const char* const begin = its_cursor.its_next;
    if (!its_run->its_keep_blanks) {
        for (const char* p = begin; p < the_stop; ++p)
            textChar(static_cast<unsigned char>(*p));
    } else if (begin != the_stop) {
        const unsigned char* const classes = its_classes;
        const std::string::size_type sinkStart = its_sink->size();
        its_sink->append(begin, static_cast<std::size_t>(the_stop - begin));
        // The last word of the piece: the characters after the last one-character token.
        const char* wordEnd = the_stop;
        while (wordEnd > begin && classes[static_cast<unsigned char>(wordEnd[-1])] != 0)
            --wordEnd;
        const char* wordStart = wordEnd;
        while (wordStart > begin && classes[static_cast<unsigned char>(wordStart[-1])] == 0)
            --wordStart;
        // A word that reaches back to the piece's start may have begun before it.
        const int linesBefore = countLineFeeds(begin, wordStart);
        if (wordStart != wordEnd && !(wordStart == begin && its_in_word)) {
            its_state.its_token_line = its_line + linesBefore;
            its_word_start = sinkStart + static_cast<std::size_t>(wordStart - begin);
        }
        its_line += linesBefore + countLineFeeds(wordEnd, the_stop);
        its_in_word = wordEnd == the_stop;
        its_last = static_cast<unsigned char>(the_stop[-1]);
    }
    its_cursor.its_next = the_stop;
    return the_stop != its_cursor.its_end;
}

// Run mode, kText, blanks dropped: one character.
inline void TokenScan::textChar(unsigned char the_char) {
    if (its_classes[the_char] == 0) {
        if (!its_in_word) {
            its_in_word = true;
            its_word_start = its_sink->size();
            beginWord();
        }
    } else {
        its_in_word = false;
        if (the_char == '\n')
            ++its_line;
    }
    if (!isXmlSpace(the_char))
        its_sink->push_back(static_cast<char>(the_char));
    its_last = the_char;
}

inline bool TokenScan::run(const TokenRun& the_run, std::string* the_sink,
                           std::string& the_last_token) {
    its_run = &the_run;
    its_sink = the_sink;
    its_scan = the_run.its_kind == TokenRun::kText ? Scan::Text : Scan::Blanks;
    std::string unused;
    its_token = &unused;
    scan<true, true>(unused);
    if (its_last == -1)
        return false;
    if (its_in_word) {
        the_last_token.assign(*its_sink, its_word_start, std::string::npos);
        its_state.its_last_token = the_last_token.size() == 1 ? its_last : -1;
    } else {
        the_last_token.clear();
        the_last_token.push_back(static_cast<char>(its_last));
        its_state.its_last_token = its_last;
    }
    return true;
}

} // namespace scanning

// The token held back, if any, into the_token: the pushed-back one, else the
// pending one (which is then gone). False when none is held back.
inline bool takeHeldToken(std::string& the_pushback, int& the_pending, std::string& the_token) {
    if (!the_pushback.empty()) {
        the_token = std::move(the_pushback);
        the_pushback.clear();
        return true;
    }
    if (the_pending == -1)
        return false;
    the_token.clear();
    the_token.push_back(static_cast<char>(the_pending));
    the_pending = -1;
    return true;
}

// A token scanned from the stream through the_cursor, which must be over
// its_stream and must be the only reader of it (nothing held back). TT_EOF at
// the end of the input.
inline void scanToken(TokenState& the_state, StreamCursor& the_cursor, std::string& the_token) {
    scanning::TokenScan(the_state, the_cursor).token(the_token);
}

// What a tokenizer remembers of the token it hands out (its_last_token).
inline int lastTokenOf(const std::string& the_token) {
    return the_token.size() == 1 ? static_cast<unsigned char>(the_token[0]) : -1;
}

// The next token: the one held back, else one scanned from the stream.
inline void nextToken(TokenState& the_state, StreamCursor& the_cursor, std::string& the_pushback,
                      std::string& the_token) {
    if (!takeHeldToken(the_pushback, the_state.its_pending_token, the_token))
        scanToken(the_state, the_cursor, the_token);
    the_state.its_last_token = lastTokenOf(the_token);
}

// Takes a run of tokens, exactly as that many calls of nextToken would,
// appending each to the_sink (when given) as the run says, and answers true
// with the run's last token in the_last_token. Takes nothing and answers false
// when the run is empty, or when its tokens cannot be taken this way (a token
// pending or pushed back, whitespace tokens off, quoting or comments set,
// quoted text open); the caller then reads token by token.
inline bool takeRun(TokenState& the_state, StreamCursor& the_cursor,
                    const std::string& the_pushback, const TokenRun& the_run, std::string* the_sink,
                    std::string& the_last_token) {
    if (!the_state.its_whitespace_tokens || the_state.its_in_quote || !the_pushback.empty() ||
        the_state.its_pending_token != -1 || !the_state.its_sl_comment_start->empty() ||
        !the_state.its_ml_comment_start->empty())
        return false;
    return scanning::TokenScan(the_state, the_cursor).run(the_run, the_sink, the_last_token);
}

} // namespace detail
} // namespace vtsupport
