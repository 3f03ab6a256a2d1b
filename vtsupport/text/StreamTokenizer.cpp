// The tokenizer's public face: settings, push-back and classification. Its tokens come from the
// scan in detail/TokenScan.h, run on these fields.
#include "vtsupport/text/StreamTokenizer.h"

#include <istream>

#include "vtsupport/text/detail/CharClasses.h"
#include "vtsupport/text/detail/StreamCursor.h"
#include "vtsupport/text/detail/TokenScan.h"
#include "vtsupport/utils/detail/JAssertAt.h"

using namespace vtsupport::detail;

const char* StreamTokenizer::TT_EOF = kEndText;

StreamTokenizer::StreamTokenizer(std::istream& the_stream)
    : its_in_quote(false), its_whitespace_tokens(false), its_stream(&the_stream),
      its_escape(kDefaultEscape), its_ordinary_chars(kDefaultOrdinaryChars), its_last_token(-1),
      its_pending_token(-1), its_quote_chars(kDefaultQuoteChars), its_current_line(1),
      its_token_line(1) {
    fillCharClasses(its_char_flags, its_quote_chars, its_ordinary_chars);
}
StreamTokenizer::~StreamTokenizer() = default;

std::string StreamTokenizer::nextToken() {
    std::string token;
    nextToken(token);
    return token;
}
namespace {

// the_string becomes the_char alone, by replacing its first character when it has one (cheaper).
VTSUPPORT_DETAIL_INLINE void assignChar(std::string& the_string, char the_char) {
    if (the_string.empty()) {
        the_string.push_back(the_char);
        return;
    }
    the_string[0] = the_char;
    the_string.erase(1);
}

} // namespace

// Held-back tokens, and a token of one character first in the buffer, need no scan (out of line).
void StreamTokenizer::nextToken(std::string& the_token) {
    struct Scan {
        VTSUPPORT_DETAIL_NOINLINE static void
        run(StreamTokenizer& the_owner, std::streambuf* the_buffer, std::string& the_token) {
            StreamTokenizer& t = the_owner;
            const ScanSettings settings{t.its_char_flags,
                                        t.its_whitespace_tokens,
                                        static_cast<unsigned char>(t.its_escape[0]),
                                        t.its_sl_comment_start,
                                        t.its_ml_comment_start,
                                        t.its_ml_comment_end};
            ScanState state{t.its_in_quote, t.its_pending_token, t.its_last_token,
                            t.its_current_line, t.its_token_line};
            TokenSource source(*t.its_stream, the_buffer, t.its_collected);
            const Token token = t.its_sl_comment_start.empty() && t.its_ml_comment_start.empty()
                                    ? scanToken(settings, state, source)
                                    : scanWithMarkers(settings, state, source, the_token);
            if (token.size() == 1)
                assignChar(the_token, token[0]);
            else if (token.data() != the_token.data())
                the_token.clear(), the_token.append(token.data(), token.size());
            source.its_cursor.finish();
            t.its_in_quote = state.its_in_quote;
            t.its_pending_token = state.its_pending;
            t.its_current_line = state.its_current_line;
            t.its_token_line = state.its_token_line;
        }
    };
    if (!its_pushback_token.empty()) {
        the_token.swap(its_pushback_token);
        its_pushback_token.clear();
    } else if (its_pending_token != -1) {
        assignChar(the_token, static_cast<char>(its_pending_token));
        its_pending_token = -1;
    } else {
        std::streambuf* const buffer = StreamCursor::open(*its_stream, true);
        const char* const next = buffer != nullptr ? GetAreaAccess::next(*buffer) : nullptr;
        const unsigned char bits =
            next != nullptr && next != GetAreaAccess::end(*buffer)
                ? its_char_flags[static_cast<unsigned char>(*next)]
                : static_cast<unsigned char>(kQuote); // none: the scan decides
        if (!its_in_quote && (bits == kOrdinary || ((bits & kSpace) && its_whitespace_tokens))) {
            assignChar(the_token, *next);
            GetAreaAccess::skip(*buffer, 1);
            its_current_line += *next == '\n';
        } else {
            Scan::run(*this, buffer, the_token);
        }
    }
    its_last_token = the_token.size() == 1 ? static_cast<unsigned char>(the_token[0]) : -1;
}
// nextToken has just emptied the push-back, so the token is stored directly; an empty one (empty
// quoted text) is not handed out again, as with pushBack.
std::string StreamTokenizer::peekToken() {
    std::string token;
    nextToken(token);
    its_pushback_token = token;
    return token;
}
// One token of look-ahead: a second push-back before the first was taken is a caller's error
// (reported when assertions are on, else it replaces the first).
void StreamTokenizer::pushBack(const std::string& the_token) {
    JAssertAt("StreamTokenizer", 73, its_pushback_token.length() == 0);
    its_pushback_token = the_token;
}
int StreamTokenizer::read() {
    StreamCursor cursor(*its_stream, StreamCursor::open(*its_stream, false));
    if (cursor.its_next == cursor.its_end && !cursor.fill(false))
        return -1;
    const int c = static_cast<unsigned char>(*cursor.its_next++);
    cursor.finish();
    return c;
}
int StreamTokenizer::classify(int the_char) const {
    if (the_char < 0 || the_char > 255)
        return CC_WORD;
    const unsigned char bits = its_char_flags[the_char];
    if (bits & kSpace)
        return CC_WHITESPACE;
    if (bits & kQuote)
        return its_last_token == static_cast<unsigned char>(its_escape[0]) ? CC_WORD : CC_QUOTE;
    if (bits & kOrdinary)
        return its_in_quote ? CC_WORD : CC_ORDINARY;
    return CC_WORD;
}
void StreamTokenizer::setOrdinaryChars(const std::string& the_chars) {
    its_ordinary_chars = the_chars;
    fillCharClasses(its_char_flags, its_quote_chars, its_ordinary_chars);
}
void StreamTokenizer::setQuoteChars(const std::string& the_chars) {
    its_quote_chars = the_chars;
    fillCharClasses(its_char_flags, its_quote_chars, its_ordinary_chars);
}
