// The tokenizer's public face: settings, push-back and classification. Its
// tokens come from the scan in detail/TokenScan.h, inlined here on these fields.
#include "vtsupport/text/StreamTokenizer.h"

#include <istream>

#include "vtsupport/text/detail/CharClasses.h"
#include "vtsupport/text/detail/StreamCursor.h"
#include "vtsupport/text/detail/TokenScan.h"
#include "vtsupport/utils/detail/JAssertAt.h"

using vtsupport::detail::kOrdinary;
using vtsupport::detail::kQuote;
using vtsupport::detail::kSpace;

const char* StreamTokenizer::TT_EOF = "StreamTokenizer::TT_EOF";

StreamTokenizer::StreamTokenizer(std::istream& the_stream)
    : its_in_quote(false), its_whitespace_tokens(false), its_stream(&the_stream),
      its_escape(vtsupport::detail::kDefaultEscape),
      its_ordinary_chars(vtsupport::detail::kDefaultOrdinaryChars), its_last_token(-1),
      its_pending_token(-1), its_quote_chars(vtsupport::detail::kDefaultQuoteChars),
      its_current_line(1), its_token_line(1) {
    vtsupport::detail::fillCharClasses(its_char_flags, its_quote_chars, its_ordinary_chars);
}

StreamTokenizer::~StreamTokenizer() = default;

std::string StreamTokenizer::nextToken() {
    std::string token;
    nextToken(token);
    return token;
}

// Held-back tokens, and characters that are tokens of their own, are handed
// out without setting up the scan; the scan runs out of line, where it has
// the registers to itself.
void StreamTokenizer::nextToken(std::string& the_token) {
    using namespace vtsupport::detail;
    struct Scan {
        static TokenFields fields(StreamTokenizer& the_owner) {
            return TokenFields{the_owner.its_char_flags,       the_owner.its_escape,
                               the_owner.its_sl_comment_start, the_owner.its_ml_comment_start,
                               the_owner.its_ml_comment_end,   the_owner.its_whitespace_tokens,
                               the_owner.its_collected,        the_owner.its_in_quote,
                               the_owner.its_current_line,     the_owner.its_token_line,
                               the_owner.its_pending_token,    the_owner.its_last_token};
        }
        VTSUPPORT_DETAIL_NOINLINE static void
        plain(StreamTokenizer& the_owner, std::streambuf* the_buffer, std::string& the_token) {
            StreamCursor cursor(*the_owner.its_stream, the_buffer);
            scanning::scanToken<false>(fields(the_owner), cursor, the_token);
            cursor.finish();
        }
        VTSUPPORT_DETAIL_NOINLINE static void withMarkers(StreamTokenizer& the_owner,
                                                          std::streambuf* the_buffer,
                                                          std::string& the_token) {
            StreamCursor cursor(*the_owner.its_stream, the_buffer);
            scanning::scanToken<true>(fields(the_owner), cursor, the_token);
            cursor.finish();
        }
    };
    if (!takeHeldToken(its_pushback_token, its_pending_token, the_token)) {
        std::streambuf* const buffer = StreamCursor::open(*its_stream, true);
        if (takeOwnToken(Scan::fields(*this), buffer, the_token)) {
        } else if (its_sl_comment_start.empty() && its_ml_comment_start.empty()) {
            Scan::plain(*this, buffer, the_token);
        } else {
            Scan::withMarkers(*this, buffer, the_token);
        }
    }
    its_last_token = lastTokenOf(the_token);
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

// One token of look-ahead only: a second push-back before the first was taken
// is a caller's error (reported when assertions are on for this file, else it
// replaces the first). nextToken never hands back an empty pushed-back token.
void StreamTokenizer::pushBack(const std::string& the_token) {
    JAssertAt("StreamTokenizer", 73, its_pushback_token.length() == 0);
    its_pushback_token = the_token;
}

int StreamTokenizer::read() {
    vtsupport::detail::StreamCursor cursor(*its_stream, false);
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
    vtsupport::detail::fillCharClasses(its_char_flags, its_quote_chars, its_ordinary_chars);
}

void StreamTokenizer::setQuoteChars(const std::string& the_chars) {
    its_quote_chars = the_chars;
    vtsupport::detail::fillCharClasses(its_char_flags, its_quote_chars, its_ordinary_chars);
}
