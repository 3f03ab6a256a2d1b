// The XML reader's rules, token by token, and its main loop: wherever the
// input allows, readDirect (XmlDirectRead.cpp) takes the next stretch with the
// same effects; the rules take over token by token where it stops.
#include <cstddef>
#include <istream>
#include <utility>

#include "vtsupport/text/SimpleDOM.h"
#include "vtsupport/text/StreamTokenizer.h"
#include "vtsupport/text/detail/NodeAccess.h"
#include "vtsupport/text/detail/TokenScan.h"
#include "vtsupport/text/detail/XmlReader.h"
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

} // namespace

XmlReader::XmlReader(std::istream& the_stream, bool the_keep_whitespace_text)
    : its_escape(kDefaultEscape), its_whitespace_tokens(kXmlWhitespaceTokens),
      its_cursor(the_stream, true), its_keep_whitespace_text(the_keep_whitespace_text) {
    fillXmlCharClasses(its_classes);
    its_open.reserve(16);
}

XmlReader::~XmlReader() {
    SimpleDOM::deleteTree(its_root);
}

Node* XmlReader::read() {
    for (;;) {
        if (its_pushback.empty() && its_pending_token == -1)
            readDirect();
        nextToken(*its_current);
        if (isEnd(*its_current))
            break;
        handleToken();
        std::swap(its_previous, its_current);
    }
    if (!its_open.empty())
        fail(its_open.back().its_node->getName());
    its_cursor.finish();
    return std::exchange(its_root, nullptr);
}

void XmlReader::fail(const std::string& the_token) const {
    throw ParseException("Document not well-formed. (" + the_token + ")", its_token_line);
}

TokenFields XmlReader::fields() {
    return TokenFields{its_classes,    its_escape,        its_empty,
                       its_empty,      its_empty,         its_whitespace_tokens,
                       its_collected,  its_in_quote,      its_current_line,
                       its_token_line, its_pending_token, its_last_token};
}

// No comment markers are ever set here.
void XmlReader::nextToken(std::string& the_token) {
    if (!takeHeldToken(its_pushback, its_pending_token, the_token))
        scanning::scanToken<false>(fields(), its_cursor, the_token);
    its_last_token = lastTokenOf(the_token);
}

// The token peekToken would return, left pushed back; no copy is made.
// Valid only until the next token is read.
const std::string& XmlReader::peek() {
    if (its_pushback.empty())
        nextToken(its_pushback);
    else
        its_last_token = lastTokenOf(its_pushback);
    return its_pushback;
}

// The current token becomes the previous one, and the next is read.
void XmlReader::advance() {
    std::swap(its_previous, its_current);
    nextToken(*its_current);
}

bool XmlReader::isEnd(const std::string& the_token) const {
    return is(the_token, "StreamTokenizer::TT_EOF");
}

Node* XmlReader::innermost(const std::string& the_offending_token) {
    if (its_open.empty())
        fail(the_offending_token);
    return its_open.back().its_node;
}

void XmlReader::handleToken() {
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
            if (!its_in_start_tag && !its_in_end_tag && its_collect_whitespace)
                its_text += token[0];
            return;
        default:
            break;
        }
    }
    handleWord();
}

void XmlReader::handleOpenBracket() {
    if (!mayPrecedeTag(its_previous->data(), its_previous->size()) && its_text.empty())
        fail(*its_previous);
    // Valid only until the next token is read: each branch decides on it first.
    const std::string& next = peek();
    if (isChar(next, '/')) {
        its_in_end_tag = true;
        if (!its_keep_whitespace_text && onlyWhitespace(its_text))
            its_text.clear();
        if (!its_text.empty())
            NodeAccess::takeText(innermost(its_text), its_text);
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
void XmlReader::skipUntil(const char (&the_end)[N]) {
    while (!is(*its_current, the_end)) {
        if (isEnd(*its_current))
            fail(*its_previous);
        advance();
    }
}

// Up to the first the_marker token and the ">" that must follow it.
template <std::size_t N>
void XmlReader::skipThroughClosing(const char (&the_marker)[N]) {
    skipUntil(the_marker);
    advance();
    if (!isChar(*its_current, '>'))
        fail(*its_previous);
}

// Up to the first "--" token, which must be followed by ">".
void XmlReader::skipComment() {
    its_whitespace_tokens = false;
    skipThroughClosing("--");
    its_whitespace_tokens = true;
}

// Up to the first "?" token after the opening one, which must be followed by ">".
void XmlReader::skipProcessingInstruction() {
    its_whitespace_tokens = false;
    advance();
    advance();
    skipThroughClosing("?");
    its_whitespace_tokens = true;
}

// Up to the first ">", whatever comes before it.
void XmlReader::skipDocumentType() {
    its_whitespace_tokens = false;
    advance();
    advance();
    skipUntil(">");
    its_whitespace_tokens = true;
}

void XmlReader::handleCloseBracket() {
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
void XmlReader::closeElement() {
    its_collect_whitespace = false;
    if (!its_open.empty())
        its_open.pop_back();
}

// Every token up to the next double quote, exactly as read.
void XmlReader::readAttributeValue() {
    std::string value;
    advance();
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

void XmlReader::handleWord() {
    const std::string& token = *its_current;
    if (its_in_start_tag && isChar(*its_previous, '<')) {
        if (its_root != nullptr && its_open.empty())
            fail(token); // a second top-level element
        openElement(token.data(), token.size());
    } else if (its_in_start_tag) {
        its_attribute_name = token;
        if (!isChar(peek(), '='))
            NodeAccess::setAttribute(innermost(token), token, std::string());
    } else if (!its_in_end_tag) {
        its_text += token;
    }
}

void XmlReader::openElement(const char* the_name, std::size_t the_length) {
    Node* node = NodeAccess::make(its_empty, the_name, the_length);
    if (its_root == nullptr) {
        its_root = node;
    } else {
        OpenElement& parent = its_open.back();
        NodeAccess::appendAfterTail(parent.its_node, parent.its_last_child, node);
        parent.its_last_child = node;
    }
    its_open.push_back(OpenElement{node, nullptr});
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
