// The XML reader: one pass over the tokens of the tokenizer's scan with a few
// flags and a stack of open elements.
//
// The scan is set up as a StreamTokenizer would be by configureForXml: each
// of ">=<?/\"" and ";:,." is a token of its own, every whitespace character is
// a token, and everything else forms words; quoting is off. The reader keeps
// the scan's state itself, so that it can take whole runs of tokens (texts,
// attribute values, blanks) where it would append them one by one.
//
// The reader is lenient on purpose: it decodes no references, never compares
// end tags with start tags and skips comments, processing instructions and
// document type declarations.
//
// Two things it adds to the bare rules: each open element remembers its last
// child, so appending costs the same however many children precede it; and
// the tree built so far is freed when reading fails. A rule that addresses
// the innermost open element while none is open (a second top-level element,
// an attribute before any element, text before an end tag at the top level)
// fails like any other malformed input.
#include <cctype>
#include <cstddef>
#include <istream>
#include <utility>
#include <vector>

#include "vtsupport/text/SimpleDOM.h"
#include "vtsupport/text/StreamTokenizer.h"
#include "vtsupport/text/detail/CharClasses.h"
#include "vtsupport/text/detail/NodeAccess.h"
#include "vtsupport/text/detail/StreamCursor.h"
#include "vtsupport/text/detail/TokenScan.h"
#include "vtsupport/text/detail/XmlTokenizerSettings.h"

namespace vtsupport {
namespace detail {

using SimpleDOM::Node;
using SimpleDOM::ParseException;

namespace {

bool isChar(const std::string& the_token, char the_char) {
    return the_token.size() == 1 && the_token[0] == the_char;
}

// Equality with a literal, its length known at compile time.
template <std::size_t N>
bool is(const std::string& the_token, const char (&the_text)[N]) {
    return the_token.size() == N - 1 && the_token.compare(0, N - 1, the_text, N - 1) == 0;
}

bool onlyWhitespace(const std::string& the_text) {
    for (char c : the_text) {
        if (!std::isspace(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

// The tokens after which "<" may follow directly even when no text was collected.
bool mayPrecedeTag(const std::string& the_token) {
    if (the_token.empty())
        return true;
    if (the_token.size() != 1)
        return false;
    switch (the_token[0]) {
    case ' ':
    case '\t':
    case '\n':
    case '\r':
    case '"':
    case '>':
        return true;
    default:
        return false;
    }
}

} // namespace

class XmlParser {
public:
    XmlParser(std::istream& the_stream, bool the_keep_whitespace_text)
        : its_scan{&the_stream,
                   its_classes,
                   nullptr, // collected only while comment markers are set
                   &its_no_marker,
                   &its_no_marker,
                   &its_no_marker,
                   static_cast<unsigned char>(kDefaultEscape[0]),
                   false, // no quote characters (kXmlQuoteChars)
                   its_whitespace_tokens,
                   its_in_quote,
                   its_current_line,
                   its_token_line,
                   its_pending_token,
                   its_last_token},
          its_cursor(the_stream, true), its_keep_whitespace_text(the_keep_whitespace_text),
          its_end(StreamTokenizer::TT_EOF) {
        fillCharClasses(its_classes, kXmlQuoteChars, xmlOrdinaryChars(kDefaultOrdinaryChars));
    }
    ~XmlParser() { SimpleDOM::deleteTree(its_root); }
    XmlParser(const XmlParser&) = delete;
    XmlParser& operator=(const XmlParser&) = delete;

    Node* read() {
        nextToken(*its_current);
        while (!isEnd(*its_current)) {
            handleToken();
            advance();
        }
        if (!its_open.empty())
            fail(its_open.back().its_node->getName());
        its_cursor.finish();
        return std::exchange(its_root, nullptr);
    }

private:
    struct OpenElement {
        Node* its_node;
        Node* its_last_child;
    };

    [[noreturn]] void fail(const std::string& the_token) {
        throw ParseException("Document not well-formed. (" + the_token + ")", its_token_line);
    }

    void nextToken(std::string& the_token) {
        vtsupport::detail::nextToken(its_scan, its_cursor, its_pushback, the_token);
    }

    // The token peekToken would return, left pushed back; no copy is made.
    // Valid only until the next token is read.
    const std::string& peek() {
        if (its_pushback.empty())
            nextToken(its_pushback);
        else
            its_last_token = lastTokenOf(its_pushback);
        return its_pushback;
    }

    void setWhitespaceTokens(bool the_flag) { its_whitespace_tokens = the_flag; }

    bool isEnd(const std::string& the_token) const { return the_token == its_end; }

    // The current token becomes the previous one, and the next is read.
    // Two buffers trade places, so neither a copy nor a string swap is made.
    // Between tags every token but "<" and ">" goes to the text buffer (a
    // blank only while whitespace is collected) and changes nothing else, so
    // the tokenizer takes such a stretch at once when it can.
    void advance() {
        if (!its_in_start_tag && !its_in_end_tag)
            advanceThrough(&its_text, TokenRun{TokenRun::kText, '<', '>', its_collect_whitespace});
        else
            advanceThrough(nullptr, TokenRun{TokenRun::kText, '<', '>', false});
    }

    // advance(), first taking into the_sink (when given) the run of tokens
    // that the scan can take at once; the last token of the run is then the
    // previous one.
    void advanceThrough(std::string* the_sink, const TokenRun& the_run) {
        std::swap(its_previous, its_current);
        if (the_sink != nullptr && !nextIsStop(the_run) &&
            takeRun(its_scan, its_cursor, its_pushback, the_run, the_sink, *its_current))
            std::swap(its_previous, its_current);
        nextToken(*its_current);
    }

    // True when the run would surely be empty: its stop character is the next
    // one at hand, and nothing is pending or pushed back before it.
    bool nextIsStop(const TokenRun& the_run) const {
        if (its_cursor.its_next == its_cursor.its_end || its_pending_token != -1 ||
            !its_pushback.empty())
            return false;
        const char c = *its_cursor.its_next;
        return the_run.its_kind == TokenRun::kText
                   ? c == the_run.its_stop || c == the_run.its_other_stop
                   : !isXmlSpace(static_cast<unsigned char>(c));
    }

    Node* innermost(const std::string& the_offending_token) {
        if (its_open.empty())
            fail(the_offending_token);
        return its_open.back().its_node;
    }

    void handleToken() {
        const std::string& token = *its_current;
        if (token.size() == 1) {
            switch (token[0]) {
            case '<':
                handleOpenBracket();
                return;
            case '>':
                handleCloseBracket();
                return;
            case '/':
                if (!its_in_start_tag && !its_in_end_tag)
                    its_text += '/';
                return;
            case '=':
                if (!its_in_start_tag)
                    its_text += '=';
                return;
            case '"':
                if (its_in_start_tag)
                    readAttributeValue();
                else
                    its_text += '"';
                return;
            case ' ':
            case '\t':
            case '\n':
            case '\r':
                handleBlanks();
                return;
            default:
                break;
            }
        }
        handleWord();
    }

    // Every blank of a run is handled alike, so the rest of the run is taken
    // at once; the last blank then stands as the current token.
    void handleBlanks() {
        const bool collect = !its_in_start_tag && !its_in_end_tag && its_collect_whitespace;
        if (collect)
            its_text += (*its_current)[0];
        const TokenRun blanks{TokenRun::kBlanks, 0, 0, true};
        if (!nextIsStop(blanks))
            takeRun(its_scan, its_cursor, its_pushback, blanks, collect ? &its_text : nullptr,
                    *its_current);
    }

    void handleOpenBracket() {
        if (!mayPrecedeTag(*its_previous) && its_text.empty())
            fail(*its_previous);
        // Valid only until the next token is read: each branch decides on it first.
        const std::string& next = peek();
        if (isChar(next, '/')) {
            its_in_end_tag = true;
            if (!its_keep_whitespace_text && onlyWhitespace(its_text))
                its_text.clear();
            if (!its_text.empty()) {
                innermost(its_text)->setText(its_text);
                its_text.clear();
            }
        } else if (is(next, "!--")) {
            skipComment();
        } else if (isChar(next, '?')) {
            skipProcessingInstruction();
        } else if (is(next, "!DOCTYPE")) {
            skipDocumentType();
        } else {
            its_in_start_tag = true;
            its_collect_whitespace = true;
        }
    }

    // Reads on until the current token is the_end; the input must not end first.
    template <std::size_t N>
    void skipUntil(const char (&the_end)[N]) {
        while (!is(*its_current, the_end)) {
            if (isEnd(*its_current))
                fail(*its_previous);
            advance();
        }
    }

    // Up to the first "--" token, which must be followed by ">".
    void skipComment() {
        setWhitespaceTokens(false);
        skipUntil("--");
        advance();
        if (!isChar(*its_current, '>'))
            fail(*its_previous);
        setWhitespaceTokens(true);
    }

    // Up to the first "?" token after the opening one, which must be followed by ">".
    void skipProcessingInstruction() {
        setWhitespaceTokens(false);
        advance();
        advance();
        skipUntil("?");
        advance();
        if (!isChar(*its_current, '>'))
            fail(*its_previous);
        setWhitespaceTokens(true);
    }

    // Up to the first ">", whatever comes before it.
    void skipDocumentType() {
        setWhitespaceTokens(false);
        advance();
        advance();
        skipUntil(">");
        setWhitespaceTokens(true);
    }

    void handleCloseBracket() {
        if (its_in_start_tag) {
            its_text.clear();
            its_in_start_tag = false;
            if (isChar(*its_previous, '/'))
                closeElement();
        } else if (its_in_end_tag) {
            its_in_end_tag = false;
            closeElement();
        } else {
            fail(">");
        }
    }

    // The end tag's name, if any, is never compared with the element's.
    void closeElement() {
        its_collect_whitespace = false;
        if (!its_open.empty())
            its_open.pop_back();
    }

    // Every token up to the next double quote, exactly as read: as one
    // stretch when the tokenizer can take it so, token by token otherwise.
    void readAttributeValue() {
        std::string value;
        advanceThrough(&value, TokenRun{TokenRun::kText, '"', '"', true});
        while (!isChar(*its_current, '"')) {
            value += *its_current;
            if (isEnd(*its_current))
                fail(*its_current);
            advance();
        }
        NodeAccess::setAttribute(
            innermost(its_attribute_name.empty() ? *its_current : its_attribute_name),
            its_attribute_name, std::move(value));
    }

    void handleWord() {
        const std::string& token = *its_current;
        if (its_in_start_tag && isChar(*its_previous, '<')) {
            openElement(token);
        } else if (its_in_start_tag) {
            its_attribute_name = token;
            if (!isChar(peek(), '='))
                NodeAccess::setAttribute(innermost(token), token, std::string());
        } else if (!its_in_end_tag) {
            its_text += token;
        }
    }

    void openElement(const std::string& the_name) {
        if (its_root != nullptr && its_open.empty())
            fail(the_name); // a second top-level element
        Node* node = new Node(the_name);
        if (its_root == nullptr) {
            its_root = node;
        } else {
            OpenElement& parent = its_open.back();
            NodeAccess::appendAfterTail(parent.its_node, parent.its_last_child, node);
            parent.its_last_child = node;
        }
        its_open.push_back(OpenElement{node, nullptr});
    }

    CharClassTable its_classes;
    // No comment markers.
    const std::string its_no_marker;
    // The scan's fields, as a StreamTokenizer would hold them.
    bool its_whitespace_tokens = kXmlWhitespaceTokens;
    bool its_in_quote = false;
    int its_current_line = 1;
    int its_token_line = 1;
    int its_pending_token = -1;
    int its_last_token = -1;
    TokenState its_scan;
    std::string its_pushback;
    // The stream's characters, handed back to it as the reader goes through
    // them and when it returns or throws.
    StreamCursor its_cursor;
    const bool its_keep_whitespace_text;
    const std::string its_end;
    Node* its_root = nullptr;
    std::vector<OpenElement> its_open;
    std::string its_token_buffers[2];
    std::string* its_current = &its_token_buffers[0];
    std::string* its_previous = &its_token_buffers[1];
    std::string its_text;
    std::string its_attribute_name;
    bool its_in_start_tag = false;
    bool its_in_end_tag = false;
    bool its_collect_whitespace = false;
};

} // namespace detail
} // namespace vtsupport

namespace SimpleDOM {

Node* parse(std::istream& in, bool keepWhitespaceText) {
    if (!in.good())
        throw ParseException("Error: Stream is bad.", 0);
    vtsupport::detail::XmlParser parser(in, keepWhitespaceText);
    return parser.read();
}

std::string normalizeText(const std::string& text, bool keepWhitespaceText) {
    if (keepWhitespaceText || !vtsupport::detail::onlyWhitespace(text))
        return text;
    return std::string();
}

} // namespace SimpleDOM
