// StreamTokenizer: splits an input stream into string tokens, one per call.
//
// Characters fall into four classes: whitespace separates tokens (and comes
// back one character at a time when whitespace tokens are on), each ordinary
// character is a token of its own, quote characters bracket quoted text (the
// opening quote, the text and the closing quote are three tokens), and runs
// of the remaining word characters form words. Optional single- and multi-line
// comment markers are matched against word characters and skipped. One token
// can be pushed back. The end of the input is the token TT_EOF, compared as a
// string. The stream is not owned and must outlive the tokenizer; settings may
// change between calls, and a token already pending is returned unchanged.
#pragma once

#include <iosfwd>
#include <string>

#include "vtsupport/Export.h"

class VTSUPPORT_API StreamTokenizer {
public:
    // The text "StreamTokenizer::TT_EOF", returned at the end of the input.
    static const char* TT_EOF;

    enum CharClass { CC_ORDINARY = 2, CC_QUOTE = 3, CC_WORD = 4, CC_WHITESPACE = 5 };

    explicit StreamTokenizer(std::istream& the_stream);
    ~StreamTokenizer();

    std::string nextToken();
    // The same, into the_token, whose capacity is reused: for readers that
    // take millions of tokens.
    void nextToken(std::string& the_token);
    // The next token without consuming it (nextToken, then pushBack).
    std::string peekToken();
    // Hands the_token out again on the next call; one token of push-back.
    void pushBack(const std::string& the_token);
    // The line on which the most recent word began.
    int lineno() const { return its_token_line; }
    int classify(int the_char) const;
    // One character (0 to 255) from the stream, or -1 once it has failed or ended.
    int read();

    void setOrdinaryChars(const std::string& the_chars);
    std::string getOrdinaryChars() const { return its_ordinary_chars; }
    // The empty string switches quoting off.
    void setQuoteChars(const std::string& the_chars);
    std::string getQuoteChars() const { return its_quote_chars; }
    void setWhitespaceTokens(bool the_flag) { its_whitespace_tokens = the_flag; }
    bool getWhitespaceTokens() const { return its_whitespace_tokens; }
    // A quote character right after a token equal to the escape loses its meaning.
    void setEscapeChar(char the_char) { its_escape.assign(1, the_char); }
    char getEscapeChar() const { return its_escape[0]; }
    // An empty start marker means no multi-line comments; a non-empty one needs an end marker.
    void setMLCommentStart(const std::string& the_marker) { its_ml_comment_start = the_marker; }
    std::string getMLCommentStart() const { return its_ml_comment_start; }
    void setMLCommentEnd(const std::string& the_marker) { its_ml_comment_end = the_marker; }
    std::string getMLCommentEnd() const { return its_ml_comment_end; }
    // An empty marker means no single-line comments.
    void setSLCommentStart(const std::string& the_marker) { its_sl_comment_start = the_marker; }
    std::string getSLCommentStart() const { return its_sl_comment_start; }

private:
    // The fields in their published order; the scan itself and its helpers
    // live in the library (vtsupport/text/detail/TokenScan.h).
    bool its_in_quote;
    bool its_whitespace_tokens;
    std::istream* its_stream;
    std::string its_escape;
    std::string its_ml_comment_end;
    std::string its_ml_comment_start;
    std::string its_ordinary_chars;
    std::string its_pushback_token;
    // The token most recently returned, as far as classifying needs it: its
    // character when it was one character long (the escape is always one
    // character), else -1.
    int its_last_token;
    // The one-character token that ended the previous word or quoted text,
    // handed out by the next nextToken; -1 when there is none.
    int its_pending_token;
    std::string its_quote_chars;
    std::string its_sl_comment_start;
    int its_current_line;
    int its_token_line;
    // Per character: whitespace, quote and ordinary membership bits, kept in
    // step with the character sets so that classifying is one lookup.
    unsigned char its_char_flags[256];
    // The token being collected while comment markers are set; kept between
    // calls for its capacity only.
    std::string its_collected;
};
