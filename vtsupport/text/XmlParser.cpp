// The XML reader behind SimpleDOM::parse: the reading rules, token by token, over the tokens of the
// tokenizer's scan (TokenScan.h) set up as configureForXml sets up a StreamTokenizer. What is whole
// in the piece (text and the tags around it, a start tag's attributes, a value, a comment, an
// instruction or a declaration) a rule takes from it at once, leaving the current token what the
// last of its tokens would be; at a piece's end, or where a token is held back, the rules go token
// by token.
// Lines are found from the characters when a failure needs one, or when a piece goes back.
//
// Lenient on purpose (no references decoded, end tags never compared). Each open element remembers
// its last child (appending costs the same however many precede it); the tree built so far is freed
// when reading fails. A rule that needs an open element when none is open fails as malformed input.
#include <cctype>
#include <cstddef>
#include <cstring>
#include <functional>
#include <istream>
#include <string>
#include <utility>
#include <vector>

#include "vtsupport/text/SimpleDOM.h"
#include "vtsupport/text/detail/CharClasses.h"
#include "vtsupport/text/detail/NodeAccess.h"
#include "vtsupport/text/detail/StreamCursor.h"
#include "vtsupport/text/detail/TokenScan.h"

namespace vtsupport {
namespace detail {

using SimpleDOM::Node;
using SimpleDOM::ParseException;

namespace {

bool isChar(Token the_token, char the_char) {
    return the_token.size() == 1 && the_token[0] == the_char;
}
bool isXmlSpace(Token the_token) {
    return the_token.size() == 1 && detail::isXmlSpace(the_token[0]);
}
// Whether "<" may follow the_token when no text was collected.
bool mayPrecedeTag(Token the_token) {
    return the_token.empty() || isXmlSpace(the_token) || the_token == "\"" || the_token == ">";
}
// By isspace, read from the table below 128 (where every locale agrees).
bool onlyWhitespace(Token the_text) {
    for (const unsigned char c : the_text) {
        if (c < 128 ? (kXmlAsciiClasses.its_classes[c] & kSpace) == 0 : !std::isspace(c))
            return false;
    }
    return true;
}
// The start of the last word in [the_begin, the_end), null when there is none.
const char* lastWord(const unsigned char* the_classes, const char* the_begin, const char* the_end) {
    const char* p = the_end;
    while (p != the_begin && the_classes[static_cast<unsigned char>(p[-1])] != 0)
        --p;
    if (p == the_begin)
        return nullptr;
    while (p != the_begin && the_classes[static_cast<unsigned char>(p[-1])] == 0)
        --p;
    return p;
}
// The first the_char in [the_begin, the_end), or the_end; memchr never sees an empty range's nulls.
const char* findChar(const char* the_begin, const char* the_end, char the_char) {
    if (the_begin == the_end)
        return the_end;
    const auto at = std::memchr(the_begin, the_char, static_cast<std::size_t>(the_end - the_begin));
    return at != nullptr ? static_cast<const char*>(at) : the_end;
}

} // namespace

class XmlReader : public TokenSource {
public:
    XmlReader(std::istream& the_stream, bool the_keep_whitespace_text)
        : TokenSource(the_stream, StreamCursor::open(the_stream, true), its_spill_text),
          its_settings{its_classes, kXmlWhitespaceTokens, '\\', its_empty, its_empty, its_empty},
          its_piece(its_cursor.its_next), its_keep_whitespace_text(the_keep_whitespace_text) {
        fillXmlCharClasses(its_classes);
        its_open.reserve(16);
    }
    ~XmlReader() { SimpleDOM::deleteTree(its_root); } // not copied: its cursor cannot be
    // The root, the caller's from then on; null when the input holds no element.
    Node* read();
    // The scan's source: what the tokens refer to in the old piece is kept first, and the text
    // collected from the_text to the cursor.
    bool refill(bool the_taking, const char* the_partial, bool the_continued, bool the_peek = false,
                const char* the_text = nullptr);

private:
    struct OpenElement {
        Node* its_node;
        Node* its_last_child;
    };
    [[noreturn]] void fail(Token the_token) {
        throw ParseException("Document not well-formed. (" + std::string(the_token) + ")", line());
    }
    // The line of the last word begun, in the piece read so far or before it.
    int line() const {
        const char* const word = wordInPiece();
        return word == nullptr ? its_word_line : its_line + countLineFeeds(its_piece, word);
    }
    // The start of the last word begun in the piece; null when it began before.
    const char* wordInPiece() const {
        const char* const word = lastWord(its_classes, its_piece, its_cursor.its_next);
        return word == its_piece && its_word_goes_on ? nullptr : word;
    }
    const char* blanksEnd(const char* the_begin, const char* the_end) const {
        return runEnd(its_classes, kXmlSpace, kXmlSpace, the_begin, the_end);
    }
    bool outsideTags() const { return !its_in_start_tag && !its_in_end_tag; }
    bool held() const { return its_pushback.data() != nullptr || its_scan.its_pending != -1; }
    VTSUPPORT_DETAIL_INLINE Token next() {
        if (its_pushback.data() != nullptr)
            return std::exchange(its_pushback, Token());
        if (its_scan.its_pending != -1)
            return ownChar(static_cast<unsigned char>(std::exchange(its_scan.its_pending, -1)));
        return scanToken(its_settings, its_scan, *this);
    }
    // The next token without taking it: valid until the next is read.
    Token peek() {
        if (its_pushback.data() == nullptr)
            its_pushback = next();
        return its_pushback;
    }
    // The current token becomes the previous one, and the next is read.
    VTSUPPORT_DETAIL_INLINE void advance() {
        its_previous = its_token;
        its_token = next();
    }
    Node* innermost(Token the_offending_token) {
        if (its_open.empty())
            fail(the_offending_token);
        return its_open.back().its_node;
    }
    void handleToken();
    void handleOpenBracket();
    VTSUPPORT_DETAIL_INLINE void openEndTag(Token the_more = Token());
    VTSUPPORT_DETAIL_INLINE bool takeTag(const char* the_text);
    VTSUPPORT_DETAIL_INLINE bool closeTag();
    // The ">" just before the_after, read as its token would be, closes the tag.
    VTSUPPORT_DETAIL_INLINE bool takeCloseBracket(const char* the_after) {
        its_cursor.its_next = the_after;
        its_previous = its_token;
        its_token = ownChar('>');
        return closeTag();
    }
    void readAttributeValue();
    // The attribute named last gets the empty value (kept out of the loops that call it).
    VTSUPPORT_DETAIL_NOINLINE void setEmptyValue() {
        NodeAccess::setAttribute(innermost(its_attribute_name), its_attribute_name, Token());
    }
    void handleName();
    VTSUPPORT_DETAIL_INLINE void openElement();
    VTSUPPORT_DETAIL_INLINE bool takeAttributes();
    void takeText();
    void takeRun();
    template <class Find>
    void skipTo(Find the_find);
    template <class Find>
    void skipMarkup(bool the_comment, Token the_end, Find the_find);

    std::string its_spill_text;
    CharClassTable its_classes;
    const std::string its_empty;
    ScanSettings its_settings;
    ScanState its_scan{false, -1, -1, 1, 1};
    // Lines at the piece's start and of the last word begun before it.
    const char* its_piece;
    int its_line = 1, its_word_line = 1;
    bool its_word_goes_on = false;
    // Current, previous, read-ahead (null: none) token, attribute name; kept when the piece goes.
    Token its_token, its_previous, its_pushback, its_attribute_name;
    std::string its_kept[4];
    const bool its_keep_whitespace_text;
    Node* its_root = nullptr;
    std::vector<OpenElement> its_open;
    std::string its_text, its_value; // the text collected; a value's part in earlier pieces
    bool its_in_start_tag = false, its_in_end_tag = false, its_collect_whitespace = false;
};
Node* XmlReader::read() {
    for (its_token = next(); its_token.data() != kEndText; advance())
        handleToken();
    if (!its_open.empty())
        fail(its_open.back().its_node->getName());
    its_cursor.finish();
    return std::exchange(its_root, nullptr);
}
bool XmlReader::refill(bool the_taking, const char* the_partial, bool the_continued, bool the_peek,
                       const char* the_text) {
    const char* const read = its_cursor.its_next;
    if (the_text != nullptr)
        its_text.append(the_text, read);
    const char* word = wordInPiece(); // the piece's line feeds counted once
    if (word != nullptr)
        its_word_line = its_line += countLineFeeds(its_piece, word);
    else
        word = its_piece;
    if (read != its_piece)
        its_word_goes_on = its_classes[static_cast<unsigned char>(read[-1])] == 0;
    its_line += countLineFeeds(word, read);
    // In this order: a view may refer to the room kept for one later in it. One character needs
    // no room of its own.
    Token* const views[] = {&its_previous, &its_attribute_name, &its_token, &its_pushback};
    for (int i = 0; i < 4; ++i) {
        if (views[i]->size() == 1) {
            *views[i] = ownChar(static_cast<unsigned char>(views[i]->front()));
        } else if (views[i]->data() != nullptr && views[i]->data() != its_kept[i].data()) {
            its_kept[i].assign(views[i]->data(), views[i]->size());
            *views[i] = Token(its_kept[i]);
        }
    }
    const bool more = TokenSource::refill(the_taking, the_partial, the_continued, the_peek);
    its_piece = its_cursor.its_next;
    return more;
}
void XmlReader::handleToken() {
    const int c = its_token.size() == 1 ? static_cast<unsigned char>(its_token[0]) : -1;
    if (c == '<') {
        handleOpenBracket();
    } else if (c == '>') {
        if (closeTag())
            takeRun();
    } else if (outsideTags()) {
        takeText(); // outside tags every other token is text
    } else if (!its_in_start_tag) {
        if (c == '"' || c == '=') // text in an end tag, whose name is ignored
            its_text += static_cast<char>(c);
    } else if (c == '"') {
        readAttributeValue();
    } else if (c != '/' && c != '=' && !detail::isXmlSpace(c)) {
        handleName();
    } else if (takeAttributes()) { // these are nothing themselves: what follows is taken at once
        takeRun();
    }
}
// The current token and the run after it, at once from where the current token lies.
void XmlReader::takeText() {
    const char* from = its_token.data();
    if (its_pushback.data() != nullptr || std::less<const char*>()(from, its_piece) ||
        from + its_token.size() + (its_scan.its_pending != -1) != its_cursor.its_next) {
        if (its_collect_whitespace || !isXmlSpace(its_token)) // whitespace only while collecting
            its_text.append(its_token.data(), its_token.size());
        if (held())
            return;
        from = its_cursor.its_next;
    }
    its_scan.its_pending = -1;
    its_cursor.its_next = from;
    takeRun();
}
// Nothing held, outside tags: the text up to the next "<" or ">" appended as the rules append it,
// then a tag there and the text after it, and so on while each is whole in the piece.
void XmlReader::takeRun() {
    for (;;) {
        const char* const begin = its_cursor.its_next;
        const char* const end = its_cursor.its_end;
        const char* const blanks = blanksEnd(begin, end);
        const char* stop = blanks;
        if (stop != end && *stop != '<' && *stop != '>') // the first "<" or ">"
            stop = findChar(stop, findChar(stop, end, '<'), '>');
        // Collected whole, the text is handed on unappended: an end tag may take it as it lies.
        const char* const text = its_collect_whitespace ? begin : stop;
        for (const char* p = blanks; !its_collect_whitespace && p != stop; p = blanksEnd(p, stop)) {
            const char* const word = p;
            p = runEnd(its_classes, kXmlSpace, 0, p, stop);
            its_text.append(word, static_cast<std::size_t>(p - word));
        }
        if (stop != begin) // its last character: all that a tag after it asks of its last token
            its_token = Token(stop - 1, 1);
        its_cursor.its_next = stop;
        if (stop == end ? !refill(false, nullptr, false, true, text) : !takeTag(text))
            return;
    }
}
void XmlReader::handleOpenBracket() {
    if (its_text.empty() && !mayPrecedeTag(its_previous))
        fail(its_previous);
    // Valid only until the next token is read: each branch decides on it first.
    const Token next = peek();
    if (isChar(next, '/')) {
        openEndTag();
    } else if (next == "!--") {
        skipMarkup(true, "--", [this](const char* the_begin, const char* the_end) {
            // "--" standing alone: a word character on neither side
            for (const char* p = the_begin; (p = findChar(p, the_end, '-')) != the_end; ++p) {
                if (the_end - p > 2 && p[1] == '-' &&
                    (p == the_begin || its_classes[static_cast<unsigned char>(p[-1])] != 0) &&
                    its_classes[static_cast<unsigned char>(p[2])] != 0)
                    return p;
            }
            return the_end;
        });
    } else if (isChar(next, '?') || next == "!DOCTYPE") {
        const char last = next[0] == '?' ? '?' : '>'; // an instruction's end, a declaration's
        skipMarkup(false, ownChar(last), [last](const char* the_begin, const char* the_end) {
            return findChar(the_begin, the_end, last);
        });
    } else {
        its_in_start_tag = its_collect_whitespace = true;
        if (next.data() != kEndText && its_classes[static_cast<unsigned char>(next[0])] == 0) {
            advance(); // the element's name
            handleName();
        }
    }
}
// "</": the text so far and the_more go to the innermost element, unless dropped as whitespace.
void XmlReader::openEndTag(Token the_more) {
    its_in_end_tag = true;
    const Token text = its_text.empty() ? the_more : Token(its_text.append(the_more));
    if (!text.empty() && (its_keep_whitespace_text || !onlyWhitespace(text)))
        NodeAccess::setText(innermost(text), text);
    its_text.clear();
}
// Nothing held, outside tags, after text, a blank or ">" (which "<" may follow), the text from
// the_text on collected but not appended: "</name>", or "<name" and what takeAttributes takes,
// whole in the piece, as their tokens would; else false.
bool XmlReader::takeTag(const char* the_text) {
    const char* const p = its_cursor.its_next;
    const char* const end = its_cursor.its_end;
    const bool close = end - p > 2 && p[0] == '<' && p[1] == '/' && p[2] != '!';
    const char* const name = wordEnd(its_classes, p + 1 + close, end);
    if (close && name != p + 2 && name != end && *name == '>') {
        its_cursor.its_next = p + 2;
        openEndTag(Token(the_text, static_cast<std::size_t>(p - the_text)));
        return takeCloseBracket(name + 1);
    }
    if (the_text != p)
        its_text.append(the_text, p);
    // "!--" and "!DOCTYPE" are words too
    if (close || p[0] != '<' || name == p + 1 || name == end || p[1] == '!')
        return false;
    its_in_start_tag = its_collect_whitespace = true;
    its_previous = ownChar('<');
    its_token = Token(p + 1, static_cast<std::size_t>(name - p - 1));
    its_scan.its_pending = static_cast<unsigned char>(*name); // read with the name, as a word's end
    its_cursor.its_next = name + 1;
    openElement();
    return takeAttributes();
}
// Nothing held back, whitespace tokens off: the tokens before what the_find finds in the piece (or
// the word it ends with) are skipped, the last one current.
template <class Find>
void XmlReader::skipTo(Find the_find) {
    if (held())
        return;
    const char* const begin = its_cursor.its_next;
    const char* stop = the_find(begin, its_cursor.its_end);
    if (stop == its_cursor.its_end) { // not found: a word there may go on
        while (stop != begin && its_classes[static_cast<unsigned char>(stop[-1])] == 0)
            --stop;
    }
    const char* last = stop;
    while (last != begin && (its_classes[static_cast<unsigned char>(last[-1])] & kSpace))
        --last;
    if (last != begin) { // the last token: the word that ends there, or the one character
        const char* const first = its_classes[static_cast<unsigned char>(last[-1])] == 0
                                      ? lastWord(its_classes, begin, last)
                                      : last - 1;
        its_token = Token(first, static_cast<std::size_t>(last - first));
    }
    its_cursor.its_next = stop;
}
// A comment runs to the first "--" token, an instruction (from the token after "?") to the first
// "?", each then ">"; a "!DOCTYPE" to the first ">".
template <class Find>
void XmlReader::skipMarkup(bool the_comment, Token the_end, Find the_find) {
    its_settings.its_whitespace_tokens = false;
    if (!the_comment) {
        advance();
        advance();
    }
    while (its_token != the_end) {
        if (its_token.data() == kEndText)
            fail(its_previous);
        skipTo(the_find);
        advance();
    }
    if (!isChar(the_end, '>')) {
        advance();
        if (!isChar(its_token, '>'))
            fail(its_previous);
    }
    its_settings.its_whitespace_tokens = true;
    if (outsideTags()) // the text after it is the run's, as after a tag
        takeRun();
}
// ">": true when the text after it is the run's to take. End tags' names are never compared.
bool XmlReader::closeTag() {
    if (outsideTags())
        fail(">");
    if (its_in_start_tag)
        its_text.clear();
    if (its_in_start_tag ? isChar(its_previous, '/') : std::exchange(its_in_end_tag, false)) {
        its_collect_whitespace = false;
        if (!its_open.empty())
            its_open.pop_back();
    }
    its_in_start_tag = false;
    return !its_in_end_tag;
}
// Every token up to the next double quote, as read, at once (nothing is held after the quote).
void XmlReader::readAttributeValue() {
    its_value.clear();
    const char* quote;
    while ((quote = findChar(its_cursor.its_next, its_cursor.its_end, '"')) == its_cursor.its_end) {
        its_value.append(its_cursor.its_next, its_cursor.its_end);
        its_cursor.its_next = its_cursor.its_end;
        if (!refill(false, nullptr, false))
            fail(kEndToken);
    }
    const char* const begin = its_cursor.its_next;
    const Token whole = its_value.empty() ? Token(begin, static_cast<std::size_t>(quote - begin))
                                          : Token(its_value.append(begin, quote));
    its_cursor.its_next = quote + 1;
    its_token = ownChar('"');
    NodeAccess::setAttribute(innermost(its_attribute_name.empty() ? its_token : its_attribute_name),
                             its_attribute_name, whole);
}
// A word (or ";:,.?", vertical tab, form feed) in a start tag: the element's name right after "<",
// else an attribute's (empty unless "=" follows).
void XmlReader::handleName() {
    if (isChar(its_previous, '<')) {
        openElement();
    } else {
        its_attribute_name = its_token;
        // A character read after the name is the next token as it stands.
        const int pending = its_scan.its_pending;
        if (pending != -1 && its_pushback.data() == nullptr ? pending != '=' : !isChar(peek(), '='))
            setEmptyValue();
    }
    if (takeAttributes())
        takeRun();
}
// The current token names the element opened.
void XmlReader::openElement() {
    if (its_root != nullptr && its_open.empty())
        fail(its_token); // a second top-level element
    Node* node = NodeAccess::make(its_token);
    if (its_root == nullptr) {
        its_root = node;
    } else {
        OpenElement& parent = its_open.back();
        NodeAccess::appendAfterTail(parent.its_node, parent.its_last_child, node);
        parent.its_last_child = node;
    }
    its_open.push_back(OpenElement{node, nullptr});
}
// What follows in the start tag while it is blanks, "/" (nothing themselves), names (with ="value",
// or with the empty value when no "=" follows) and its closing ">", taken straight from the piece
// as its tokens would be. A character read after a word is read again from where it lies. True when
// ">" closed the tag and the run may follow.
bool XmlReader::takeAttributes() {
    if (its_pushback.data() != nullptr)
        return false;
    its_cursor.its_next -= std::exchange(its_scan.its_pending, -1) != -1;
    for (;;) {
        const char* const end = its_cursor.its_end;
        const char* p = its_cursor.its_next;
        if (p != end && (its_classes[static_cast<unsigned char>(*p)] & kXmlSpace)) {
            p = blanksEnd(p + 1, end);
            its_token = Token(p - 1, 1); // the last blank
            its_cursor.its_next = p;
        }
        if (p == end)
            return false;
        const unsigned char c = static_cast<unsigned char>(*p);
        const char* q = p + 1;
        if (c == '>')
            return takeCloseBracket(q);
        if (its_classes[c] == 0) { // else a name of one character, or no name
            q = wordEnd(its_classes, q, end);
        } else if (c == '/') {
            its_token = Token(p, 1);
            its_cursor.its_next = q;
            continue;
        } else if (c == '<' || c == '=' || c == '"') {
            return false;
        }
        const bool value = end - q >= 2 && q[0] == '=' && q[1] == '"';
        if (!value && (q == end || *q == '=' || its_open.empty()))
            return false; // tokens read what follows the name, or fail
        its_attribute_name = Token(p, static_cast<std::size_t>(q - p));
        if (value) {
            its_cursor.its_next = q + 2;
            readAttributeValue();
        } else {
            its_token = its_attribute_name;
            its_cursor.its_next = q;
            setEmptyValue();
        }
    }
}

} // namespace detail
} // namespace vtsupport

namespace SimpleDOM {

Node* parse(std::istream& in, bool keepWhitespaceText) {
    if (!in.good())
        throw ParseException("Error: Stream is bad.", 0);
    vtsupport::detail::XmlReader reader(in, keepWhitespaceText);
    return reader.read();
}
std::string normalizeText(const std::string& text, bool keepWhitespaceText) {
    if (keepWhitespaceText || !vtsupport::detail::onlyWhitespace(text))
        return text;
    return std::string();
}

} // namespace SimpleDOM
