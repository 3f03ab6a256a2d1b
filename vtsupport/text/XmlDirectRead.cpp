// The XML reader's direct path: the common shapes read straight from the
// characters the stream buffer holds, with exactly the effects their tokens
// have under the rules of XmlParser.cpp.
//
// What keeps the two the same:
// - It starts only where nothing is held back (no pending or pushed-back
//   token) and outside end tags, so that the next token begins at the cursor,
//   and it takes whole tokens only: one whose end it cannot see in the buffer
//   is left to the rules. A construct (a tag, a comment, a processing
//   instruction, a document type declaration) is taken only when all of it is
//   in the buffer and has the common shape, else left to the rules from its
//   "<" on, which then also report whatever is wrong with it.
// - Within a start tag it handles each token as the rules do: blanks are
//   ignored, "=" and "/" only become the previous token, every other token
//   but "<", ">" and the double quote names an attribute (set empty unless
//   "=" follows at once); ":" and "." split names into such tokens.
// - Lines are counted over what it takes, and the line on which the last word
//   it takes began is kept, as the scan would have kept them; the previous
//   token and the attribute name are left as the rules would have them.
// - Everything it looks at is taken, by it or by the rules right after, so
//   reading stays linear however often it hands over.
#include <cstddef>
#include <cstring>
#include <string>

#include "vtsupport/text/SimpleDOM.h"
#include "vtsupport/text/detail/CharClasses.h"
#include "vtsupport/text/detail/NodeAccess.h"
#include "vtsupport/text/detail/StreamCursor.h"
#include "vtsupport/text/detail/TokenScan.h"
#include "vtsupport/text/detail/XmlReader.h"

namespace vtsupport {
namespace detail {

namespace {

// The first of the two characters in [the_begin, the_end), or the_end.
const char* findEither(const char* the_begin, const char* the_end, char the_one, char the_other) {
    const std::size_t length = static_cast<std::size_t>(the_end - the_begin);
    const void* one = std::memchr(the_begin, the_one, length);
    const char* stop = one != nullptr ? static_cast<const char*>(one) : the_end;
    const void* other =
        std::memchr(the_begin, the_other, static_cast<std::size_t>(stop - the_begin));
    return other != nullptr ? static_cast<const char*>(other) : stop;
}

const char* find(const char* the_begin, const char* the_end, char the_char) {
    return static_cast<const char*>(
        std::memchr(the_begin, the_char, static_cast<std::size_t>(the_end - the_begin)));
}

// The start of the last word of [the_begin, the_end), which begins where a
// token begins; null when it holds none.
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

// Lines over [the_begin, the_end), whose last word (null: none) begins at the_word.
void countLines(const char* the_begin, const char* the_end, const char* the_word, int& the_line,
                int& the_token_line) {
    if (the_word == nullptr) {
        the_line += countLineFeeds(the_begin, the_end);
        return;
    }
    the_token_line = the_line + countLineFeeds(the_begin, the_word);
    the_line = the_token_line + countLineFeeds(the_word, the_end);
}

} // namespace

bool XmlReader::giveTextToElement() {
    if (!its_keep_whitespace_text && onlyWhitespace(its_text))
        its_text.clear();
    if (its_text.empty())
        return true;
    if (its_open.empty())
        return false;
    NodeAccess::takeText(its_open.back().its_node, its_text);
    return true;
}

void XmlReader::appendText(const char* the_begin, const char* the_end) {
    if (its_collect_whitespace) {
        its_text.append(the_begin, static_cast<std::size_t>(the_end - the_begin));
        return;
    }
    const unsigned char* const classes = its_classes;
    for (const char* p = the_begin; p != the_end;) {
        while (p != the_end && (classes[static_cast<unsigned char>(*p)] & kXmlSpace))
            ++p;
        const char* const start = p;
        while (p != the_end && !(classes[static_cast<unsigned char>(*p)] & kXmlSpace))
            ++p;
        if (p != start)
            its_text.append(start, static_cast<std::size_t>(p - start));
    }
}

void XmlReader::readDirect() {
    if (its_in_end_tag)
        return;
    StreamCursor& cursor = its_cursor;
    if (cursor.its_next == cursor.its_end && !cursor.fill(true))
        return;
    if (!cursor.inGetArea())
        return;
    const unsigned char* const classes = its_classes;
    const char* p = cursor.its_next;
    const char* const end = cursor.its_end;
    int line = its_current_line;
    int tokenLine = its_token_line;
    // The previous token and the attribute name where taken here, else null:
    // they are then the ones held in its_previous and its_attribute_name.
    const char* previous = nullptr;
    const char* previousEnd = nullptr;
    const char* name = nullptr;
    const char* nameEnd = nullptr;
    const auto previousIs = [&](char the_char) {
        if (previous == nullptr)
            return its_previous->size() == 1 && (*its_previous)[0] == the_char;
        return previousEnd - previous == 1 && *previous == the_char;
    };
    Node* element = nullptr;

    if (its_in_start_tag) {
        if (its_open.empty() || previousIs('<'))
            goto out;
        element = its_open.back().its_node;
        goto tag;
    }

content:
    // Between tags: text up to the next tag.
    if (p == end || *p == '>')
        goto out;
    if (*p == '<')
        goto markup;
    {
        const char* stop = findEither(p, end, '<', '>');
        if (stop == end && classes[static_cast<unsigned char>(end[-1])] == 0) {
            // The last word may go on past the buffer.
            while (stop != p && classes[static_cast<unsigned char>(stop[-1])] == 0)
                --stop;
            if (stop == p)
                goto out;
        }
        const char* const word = lastWord(classes, p, stop);
        countLines(p, stop, word, line, tokenLine);
        appendText(p, stop);
        previous = classes[static_cast<unsigned char>(stop[-1])] == 0 ? word : stop - 1;
        previousEnd = stop;
        p = stop;
        goto content;
    }

markup:
    // At "<", which may follow here (rule 1.1).
    if (its_text.empty() &&
        !(previous == nullptr
              ? mayPrecedeTag(its_previous->data(), its_previous->size())
              : mayPrecedeTag(previous, static_cast<std::size_t>(previousEnd - previous))))
        goto out;
    if (end - p < 2)
        goto out;
    if (p[1] == '/')
        goto endTag;
    if (p[1] == '?')
        goto instruction;
    if (classes[static_cast<unsigned char>(p[1])] != 0)
        goto out;
    {
        const char* const nameStop = wordEnd(classes, p + 2, end);
        if (nameStop == end)
            goto out;
        const std::size_t length = static_cast<std::size_t>(nameStop - (p + 1));
        if (length == 3 && std::memcmp(p + 1, "!--", 3) == 0)
            goto comment;
        if (length == 8 && std::memcmp(p + 1, "!DOCTYPE", 8) == 0)
            goto documentType;
        if (its_root != nullptr && its_open.empty())
            goto out; // a second top-level element
        openElement(p + 1, length);
        element = its_open.back().its_node;
        tokenLine = line;
        its_in_start_tag = true;
        its_collect_whitespace = true;
        previous = p + 1;
        previousEnd = nameStop;
        p = nameStop;
        goto tag;
    }

endTag:
    // Whatever stands between "</" and ">" is ignored, but for a double
    // quote or "=" (text, under the rules) and "<".
    {
        const char* close = p + 2;
        for (; close != end && *close != '>'; ++close) {
            if (*close == '"' || *close == '=' || *close == '<')
                goto out;
        }
        if (close == end || !giveTextToElement())
            goto out;
        countLines(p + 2, close, lastWord(classes, p + 2, close), line, tokenLine);
        closeElement();
        previous = close;
        previousEnd = close + 1;
        p = close + 1;
        goto content;
    }

comment:
    // "<!--" and the character that ends its word, then up to the first word
    // "--", and ">" after it, blanks between skipped (whitespace tokens are off).
    {
        const char* dashes = p + 5;
        for (;; ++dashes) {
            dashes = find(dashes, end, '-');
            if (dashes == nullptr || end - dashes < 3)
                goto out;
            if (dashes[1] == '-' && classes[static_cast<unsigned char>(dashes[-1])] != 0 &&
                classes[static_cast<unsigned char>(dashes[2])] != 0)
                break;
        }
        const char* close = dashes + 2;
        while (close != end && (classes[static_cast<unsigned char>(*close)] & kSpace))
            ++close;
        if (close == end || *close != '>')
            goto out;
        countLines(p, close, dashes, line, tokenLine);
        previous = close;
        previousEnd = close + 1;
        p = close + 1;
        goto content;
    }

instruction:
    // "<?", up to the first "?", and ">" after it, blanks between skipped.
    {
        const char* const mark = find(p + 2, end, '?');
        if (mark == nullptr)
            goto out;
        const char* close = mark + 1;
        while (close != end && (classes[static_cast<unsigned char>(*close)] & kSpace))
            ++close;
        if (close == end || *close != '>')
            goto out;
        countLines(p, close, lastWord(classes, p + 2, mark), line, tokenLine);
        previous = close;
        previousEnd = close + 1;
        p = close + 1;
        goto content;
    }

documentType:
    // "<!DOCTYPE" up to the first ">".
    {
        const char* const close = find(p + 9, end, '>');
        if (close == nullptr)
            goto out;
        countLines(p, close, lastWord(classes, p + 1, close), line, tokenLine);
        previous = close;
        previousEnd = close + 1;
        p = close + 1;
        goto content;
    }

tag:
    // In a start tag, after the element's name.
    while (p != end) {
        const unsigned char c = static_cast<unsigned char>(*p);
        const unsigned char bits = classes[c];
        if (bits & kXmlSpace) {
            const char* q = p + 1;
            while (q != end && (classes[static_cast<unsigned char>(*q)] & kXmlSpace))
                ++q;
            line += countLineFeeds(p, q);
            previous = q - 1;
            previousEnd = q;
            p = q;
            continue;
        }
        switch (c) {
        case '<':
            goto out;
        case '=':
        case '/':
            previous = p;
            previousEnd = ++p;
            continue;
        case '>':
            its_text.clear();
            its_in_start_tag = false;
            if (previousIs('/'))
                closeElement();
            previous = p;
            previousEnd = ++p;
            goto content;
        case '"': {
            const char* const value = p + 1;
            const char* const close = find(value, end, '"');
            if (close == nullptr)
                goto out;
            if (name != nullptr)
                NodeAccess::setAttribute(element, name, static_cast<std::size_t>(nameEnd - name),
                                         value, static_cast<std::size_t>(close - value));
            else
                NodeAccess::setAttribute(element, its_attribute_name.data(),
                                         its_attribute_name.size(), value,
                                         static_cast<std::size_t>(close - value));
            countLines(value, close, lastWord(classes, value, close), line, tokenLine);
            previous = close;
            previousEnd = close + 1;
            p = close + 1;
            continue;
        }
        default: {
            // A word, or one of ";:,.?", vertical tab or form feed: an
            // attribute name, set empty unless "=" follows.
            const char* const stop = bits == 0 ? wordEnd(classes, p + 1, end) : p + 1;
            if (stop == end)
                goto out;
            if (bits == 0)
                tokenLine = line;
            if (*stop != '=')
                NodeAccess::setAttribute(element, p, static_cast<std::size_t>(stop - p), p, 0);
            name = p;
            nameEnd = stop;
            previous = p;
            previousEnd = stop;
            p = stop;
            continue;
        }
        }
    }

out:
    cursor.its_next = p;
    its_current_line = line;
    its_token_line = tokenLine;
    if (previous != nullptr)
        its_previous->assign(previous, static_cast<std::size_t>(previousEnd - previous));
    if (name != nullptr)
        its_attribute_name.assign(name, static_cast<std::size_t>(nameEnd - name));
}

} // namespace detail
} // namespace vtsupport
