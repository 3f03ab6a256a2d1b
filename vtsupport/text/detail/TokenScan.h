// Library-internal: the tokenizer's scan, shared by StreamTokenizer and the
// XML reader.
//
// One loop (TokenScan.cpp) reads the stream buffer's characters in pieces and
// serves both ways of taking them: one token at a time, and the runs of
// tokens that the XML reader takes whole (a text up to the next tag, an
// attribute value, a stretch of blanks). A run ends exactly where the same
// tokens taken one at a time would have left the stream, and leaves the same
// lines and the same last token behind.
#pragma once

#include <istream>
#include <string>

namespace vtsupport {
namespace detail {

class StreamCursor;

// A new tokenizer's sets and escape character.
constexpr char kDefaultOrdinaryChars[] = ";:,.";
constexpr char kDefaultQuoteChars[] = "\"'";
constexpr char kDefaultEscape[] = "\\";

// What a tokenizer keeps between tokens, and the settings a scan reads. The
// strings and the class table belong to the tokenizer that owns the state.
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
    bool its_whitespace_tokens;
    bool its_in_quote;
    int its_current_line;
    int its_token_line;
    // The one-character token that ended the previous word or quoted text; -1 if none.
    int its_pending_token;
    // The token most recently returned, as far as classifying needs it: its
    // character when it was one character long (the escape is always one
    // character), else -1.
    int its_last_token;
};

// The next token: the pushed-back one, else the pending one, else one scanned
// from the stream through the_cursor, which must be over its_stream and must
// be the only reader of it. TT_EOF at the end of the input.
void nextToken(TokenState& the_state, StreamCursor& the_cursor, std::string& the_pushback,
               std::string& the_token);

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

// Takes a run of tokens, exactly as that many calls of nextToken would,
// appending each to the_sink (when given) as the run says, and answers true
// with the run's last token in the_last_token. Takes nothing and answers false
// when the run is empty, or when its tokens cannot be taken this way (a token
// pending or pushed back, whitespace tokens off, quoting or comments set,
// quoted text open); the caller then reads token by token.
bool takeRun(TokenState& the_state, StreamCursor& the_cursor, const std::string& the_pushback,
             const TokenRun& the_run, std::string* the_sink, std::string& the_last_token);

} // namespace detail
} // namespace vtsupport
