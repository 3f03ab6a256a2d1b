/// @file
/// StreamTokenizer: splits an input stream into string tokens, one per call.
#pragma once

#include <iosfwd>
#include <string>

#include "vtsupport/Export.h"

/// Splits an input stream into string tokens, one per call.
///
/// Characters fall into four classes: whitespace separates tokens (and comes
/// back one character at a time when whitespace tokens are on), each ordinary
/// character is a token of its own, quote characters bracket quoted text (the
/// opening quote, the text and the closing quote are three tokens), and runs
/// of the remaining word characters form words. Optional single- and
/// multi-line comment markers are matched against word characters and
/// skipped. One token can be pushed back. The end of the input is the token
/// TT_EOF, compared as a string.
///
/// The stream is not owned and must outlive the tokenizer. Settings may change
/// between calls and take effect from the next character read; a token already
/// pending or pushed back is returned unchanged. One thread at a time per
/// object. The fields keep their order (part of the binary interface).
/// @code
/// std::istringstream in("key = 'a value'; # note");
/// StreamTokenizer tokens(in);
/// tokens.setSLCommentStart("#");
/// for (std::string t = tokens.nextToken(); t != StreamTokenizer::TT_EOF; t = tokens.nextToken())
///     std::cout << tokens.lineno() << ": " << t << "\n";
/// @endcode
class VTSUPPORT_API StreamTokenizer {
public:
    /// The text "StreamTokenizer::TT_EOF", returned at the end of the input.
    static const char* TT_EOF;

    /// The character classes that classify() answers.
    enum CharClass {
        CC_ORDINARY = 2,  ///< An ordinary character, outside quoted text: a token of its own.
        CC_QUOTE = 3,     ///< A quote character, unless the previous token is the escape.
        CC_WORD = 4,      ///< Every other character: part of a word.
        CC_WHITESPACE = 5 ///< A character for which isspace is true: separates tokens.
    };

    /// A tokenizer on `the_stream` (not owned) with the defaults: ordinary
    /// characters ";:,.", quote characters double and single quote, escape
    /// backslash, no whitespace tokens, no comments, line 1.
    explicit StreamTokenizer(std::istream& the_stream);
    /// Frees the tokenizer; leaves the stream alone.
    ~StreamTokenizer();

    /// The next token: the pushed-back one if any, else the next from the
    /// stream; TT_EOF at the end of the input (a word or quoted text still
    /// being collected there comes first).
    std::string nextToken();
    /// The same, into `the_token`, whose capacity is reused: for readers that
    /// take millions of tokens.
    void nextToken(std::string& the_token);
    /// The next token without consuming it (nextToken, then pushBack).
    std::string peekToken();
    /// Hands `the_token` out again on the next call; one token of push-back (a
    /// second push-back fails an active assertion, and otherwise replaces the first).
    void pushBack(const std::string& the_token);
    /// The line on which the most recent word began.
    int lineno() const { return its_token_line; }
    /// The class (a CharClass) of the character `the_char` under the current settings.
    int classify(int the_char) const;
    /// One character (0 to 255) from the stream, or -1 once it has failed or ended.
    int read();

    /// Replaces the set of ordinary characters.
    void setOrdinaryChars(const std::string& the_chars);
    /// The set of ordinary characters.
    std::string getOrdinaryChars() const { return its_ordinary_chars; }
    /// Replaces the set of quote characters; the empty string switches quoting off.
    void setQuoteChars(const std::string& the_chars);
    /// The set of quote characters.
    std::string getQuoteChars() const { return its_quote_chars; }
    /// Whether each whitespace character comes back as a token of its own.
    void setWhitespaceTokens(bool the_flag) { its_whitespace_tokens = the_flag; }
    /// Whether whitespace characters come back as tokens.
    bool getWhitespaceTokens() const { return its_whitespace_tokens; }
    /// A quote character right after a token equal to the escape loses its meaning.
    void setEscapeChar(char the_char) { its_escape.assign(1, the_char); }
    /// The escape character.
    char getEscapeChar() const { return its_escape[0]; }
    /// The start marker of multi-line comments; empty means none, and a
    /// non-empty one needs an end marker.
    void setMLCommentStart(const std::string& the_marker) { its_ml_comment_start = the_marker; }
    /// The start marker of multi-line comments.
    std::string getMLCommentStart() const { return its_ml_comment_start; }
    /// The end marker of multi-line comments.
    void setMLCommentEnd(const std::string& the_marker) { its_ml_comment_end = the_marker; }
    /// The end marker of multi-line comments.
    std::string getMLCommentEnd() const { return its_ml_comment_end; }
    /// The start marker of single-line comments, which run to the end of the
    /// line; empty means none.
    void setSLCommentStart(const std::string& the_marker) { its_sl_comment_start = the_marker; }
    /// The start marker of single-line comments.
    std::string getSLCommentStart() const { return its_sl_comment_start; }

private:
    // The fields in their published order; the scan is in detail/TokenScan.h.
    bool its_in_quote;
    bool its_whitespace_tokens;
    std::istream* its_stream;
    std::string its_escape;
    std::string its_ml_comment_end;
    std::string its_ml_comment_start;
    std::string its_ordinary_chars;
    std::string its_pushback_token;
    // The character of the token returned last when it was one long, else -1.
    int its_last_token;
    // The character that ended the previous word or quoted text, the next token; or -1.
    int its_pending_token;
    std::string its_quote_chars;
    std::string its_sl_comment_start;
    int its_current_line;
    int its_token_line;
    // Per character: whitespace, quote and ordinary bits, in step with the sets.
    unsigned char its_char_flags[256];
    // The scan's spill: a token going on past the stream buffer's piece, or
    // collected while comment markers are set; kept for its capacity only.
    std::string its_collected;
};
