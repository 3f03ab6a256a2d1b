// Library-internal: the XML reader behind SimpleDOM::parse.
//
// The reading rules work token by token, with a few flags and a stack of open
// elements, on the tokens of the tokenizer's scan set up as configureForXml
// sets up a StreamTokenizer: each of ">=<?/\"" and ";:,." is a token of its
// own, every whitespace character is a token, and everything else forms
// words; quoting is off (XmlParser.cpp). The reader keeps the scan's state
// itself, so that where the buffered input has the common shapes (element
// names, name="value" attributes, text up to the next tag, end tags,
// comments, processing instructions and document type declarations) it can
// read it straight from the stream buffer, with exactly the effects those
// tokens would have had under the rules, and hand over to the rules at the
// first character whose handling is special (XmlDirectRead.cpp).
//
// The reader is lenient on purpose: it decodes no references, never compares
// end tags with start tags and skips comments, processing instructions and
// document type declarations. Two things it adds to the bare rules: each open
// element remembers its last child, so appending costs the same however many
// children precede it; and the tree built so far is freed when reading fails.
// A rule that addresses the innermost open element while none is open (a
// second top-level element, an attribute before any element, text before an
// end tag at the top level) fails like any other malformed input.
#pragma once

#include <cctype>
#include <cstddef>
#include <istream>
#include <string>
#include <vector>

#include "vtsupport/text/SimpleDOM.h"
#include "vtsupport/text/detail/CharClasses.h"
#include "vtsupport/text/detail/StreamCursor.h"
#include "vtsupport/text/detail/TokenScan.h"

namespace vtsupport {
namespace detail {

// Whether the_text is whitespace only, by isspace: what normalizeText drops.
inline bool onlyWhitespace(const std::string& the_text) {
    for (char c : the_text) {
        if (!std::isspace(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

// Whether "<" may follow the token of the_length characters at the_token
// directly even when no text was collected: after nothing, blank, tab, line
// feed, carriage return, a double quote or ">".
inline bool mayPrecedeTag(const char* the_token, std::size_t the_length) {
    if (the_length == 0)
        return true;
    if (the_length != 1)
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

class XmlReader {
public:
    XmlReader(std::istream& the_stream, bool the_keep_whitespace_text);
    ~XmlReader();
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;

    // The root, owned by the caller from then on; null when the input holds no
    // element. Throws ParseException for malformed input.
    SimpleDOM::Node* read();

private:
    using Node = SimpleDOM::Node;

    struct OpenElement {
        Node* its_node;
        Node* its_last_child;
    };

    // The rules, token by token (XmlParser.cpp).
    [[noreturn]] void fail(const std::string& the_token) const;
    TokenFields fields();
    void nextToken(std::string& the_token);
    const std::string& peek();
    void advance();
    bool isEnd(const std::string& the_token) const;
    void handleToken();
    void handleOpenBracket();
    template <std::size_t N>
    void skipUntil(const char (&the_end)[N]);
    template <std::size_t N>
    void skipThroughClosing(const char (&the_marker)[N]);
    void skipComment();
    void skipProcessingInstruction();
    void skipDocumentType();
    void handleCloseBracket();
    void readAttributeValue();
    void handleWord();
    Node* innermost(const std::string& the_offending_token);
    void openElement(const char* the_name, std::size_t the_length);
    void closeElement();

    // The same effects read straight from the buffered input (XmlDirectRead.cpp).
    void readDirect();
    // What "<" followed by "/" does to the collected text: false, with nothing
    // done, where the text needs an open element and none is open.
    bool giveTextToElement();
    // A stretch of text tokens [the_begin, the_end) between tags, ending at a
    // token's end: appended to the text buffer as the rules would.
    void appendText(const char* the_begin, const char* the_end);

    // The scan's fields, as a StreamTokenizer would hold them.
    CharClassTable its_classes;
    const std::string its_empty;
    const std::string its_escape;
    std::string its_collected; // for the scan's interface: no comment markers are set
    bool its_whitespace_tokens;
    bool its_in_quote = false;
    int its_current_line = 1;
    int its_token_line = 1;
    int its_pending_token = -1;
    int its_last_token = -1;
    std::string its_pushback;
    // The stream's characters, handed back to it as the reader goes through
    // them and when it returns or throws.
    StreamCursor its_cursor;

    const bool its_keep_whitespace_text;
    Node* its_root = nullptr;
    std::vector<OpenElement> its_open;
    // The current and the previous token; two buffers that trade places.
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
