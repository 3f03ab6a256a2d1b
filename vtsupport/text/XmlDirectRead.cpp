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

// The first "<" or ">" in [the_begin, the_end), or the_end. Many texts are
// short: the first characters are looked at one by one.
const char* findTagChar(const char* the_begin, const char* the_end) {
    const char* p = the_begin;
    for (const char* const shortEnd = the_end - the_begin > 16 ? the_begin + 16 : the_end;
         p != shortEnd; ++p) {
        if (*p == '<' || *p == '>')
            return p;
    }
    if (p == the_end)
        return p;
    const std::size_t length = static_cast<std::size_t>(the_end - p);
    const void* open = std::memchr(p, '<', length);
    const char* stop = open != nullptr ? static_cast<const char*>(open) : the_end;
    const void* close = std::memchr(p, '>', static_cast<std::size_t>(stop - p));
    return close != nullptr ? static_cast<const char*>(close) : stop;
}

const char* find(const char* the_begin, const char* the_end, char the_char) {
    return static_cast<const char*>(
        std::memchr(the_begin, the_char, static_cast<std::size_t>(the_end - the_begin)));
}

// The ">" that follows the_from after blanks only; null when something else, or
// the end of the buffer, comes first.
const char* closingBracket(const unsigned char* the_classes, const char* the_from,
                           const char* the_end) {
    while (the_from != the_end && (the_classes[static_cast<unsigned char>(*the_from)] & kSpace))
        ++the_from;
    return the_from != the_end && *the_from == '>' ? the_from : nullptr;
}

// The start of the last word of [the_begin, the_end), which begins where a
// token begins; null when it holds none. A word that ends at the_end is the
// last token there.
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

bool isWordChar(const unsigned char* the_classes, char the_char) {
    return the_classes[static_cast<unsigned char>(the_char)] == 0;
}

bool isChar(const std::string& the_token, char the_char) {
    return the_token.size() == 1 && the_token[0] == the_char;
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
    const char* const begin = cursor.its_next;
    const char* const end = cursor.its_end;
    const char* p = begin;
    // Worked out when it ends, from what it has taken: the line (from the
    // line feeds in [begin, p)), the line of the last word taken (the last
    // word before wordsEnd, null: none taken), the previous token (the last
    // token before previousEnd, null: the one held in its_previous) and the
    // attribute name.
    const char* wordsEnd = nullptr;
    const char* previousEnd = nullptr;
    const char* name = nullptr;
    const char* nameEnd = nullptr;
    Node* element = nullptr;

    if (its_in_start_tag) {
        if (its_open.empty() || isChar(*its_previous, '<'))
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
        // Blanks up to a tag, the commonest text by far.
        const char* stop = p;
        while (stop != end && (classes[static_cast<unsigned char>(*stop)] & kXmlSpace))
            ++stop;
        if (stop == end || *stop == '<') {
            if (its_collect_whitespace)
                its_text.append(p, static_cast<std::size_t>(stop - p));
            previousEnd = stop;
            p = stop;
            goto content;
        }
        stop = findTagChar(stop, end);
        if (stop == end && isWordChar(classes, end[-1])) {
            // The last word may go on past the buffer.
            while (stop != p && isWordChar(classes, stop[-1]))
                --stop;
            if (stop == p)
                goto out;
        }
        if (isWordChar(classes, stop[-1]) || lastWord(classes, p, stop) != nullptr)
            wordsEnd = stop;
        appendText(p, stop);
        previousEnd = stop;
        p = stop;
        goto content;
    }

markup:
    // At "<", which must be allowed to follow what came before (mayPrecedeTag).
    if (its_text.empty() &&
        !(previousEnd == nullptr ? mayPrecedeTag(its_previous->data(), its_previous->size())
                                 : mayPrecedeTag(previousEnd - 1, 1)))
        goto out;
    if (end - p < 2)
        goto out;
    if (p[1] == '/')
        goto endTag;
    if (p[1] == '?')
        goto instruction;
    if (!isWordChar(classes, p[1]))
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
        its_in_start_tag = true;
        its_collect_whitespace = true;
        p = nameStop;
        wordsEnd = p;
        previousEnd = p;
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
        if (isWordChar(classes, close[-1]) || lastWord(classes, p + 2, close) != nullptr)
            wordsEnd = close;
        closeElement();
        p = close + 1;
        previousEnd = p;
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
            if (dashes[1] == '-' && !isWordChar(classes, dashes[-1]) &&
                !isWordChar(classes, dashes[2]))
                break;
        }
        const char* const close = closingBracket(classes, dashes + 2, end);
        if (close == nullptr)
            goto out;
        wordsEnd = dashes + 2;
        p = close + 1;
        previousEnd = p;
        goto content;
    }

instruction:
    // "<?", up to the first "?", and ">" after it, blanks between skipped.
    {
        const char* const mark = find(p + 2, end, '?');
        if (mark == nullptr)
            goto out;
        const char* const close = closingBracket(classes, mark + 1, end);
        if (close == nullptr)
            goto out;
        if (lastWord(classes, p + 2, mark) != nullptr)
            wordsEnd = mark;
        p = close + 1;
        previousEnd = p;
        goto content;
    }

documentType:
    // "<!DOCTYPE" up to the first ">".
    {
        const char* const close = find(p + 9, end, '>');
        if (close == nullptr)
            goto out;
        wordsEnd = close;
        p = close + 1;
        previousEnd = p;
        goto content;
    }

tag:
    // In a start tag, after the element's name.
    while (p != end) {
        const unsigned char c = static_cast<unsigned char>(*p);
        const unsigned char bits = classes[c];
        if (bits & kXmlSpace) {
            ++p;
            while (p != end && (classes[static_cast<unsigned char>(*p)] & kXmlSpace))
                ++p;
            previousEnd = p;
            continue;
        }
        switch (c) {
        case '<':
            goto out;
        case '=':
        case '/':
            previousEnd = ++p;
            continue;
        case '>':
            its_text.clear();
            its_in_start_tag = false;
            if (previousEnd != nullptr ? previousEnd[-1] == '/' : isChar(*its_previous, '/'))
                closeElement();
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
            if (value != close &&
                (isWordChar(classes, close[-1]) || lastWord(classes, value, close) != nullptr))
                wordsEnd = close;
            p = close + 1;
            previousEnd = p;
            continue;
        }
        default: {
            // A word, or one of ";:,.?", vertical tab or form feed: an
            // attribute name, set empty unless "=" follows.
            const char* const stop = bits == 0 ? wordEnd(classes, p + 1, end) : p + 1;
            if (stop == end)
                goto out;
            if (*stop != '=')
                NodeAccess::setAttribute(element, p, static_cast<std::size_t>(stop - p), p, 0);
            if (bits == 0)
                wordsEnd = stop;
            name = p;
            nameEnd = stop;
            p = stop;
            previousEnd = p;
            continue;
        }
        }
    }

out:
    cursor.its_next = p;
    if (wordsEnd != nullptr)
        its_token_line =
            its_current_line + countLineFeeds(begin, lastWord(classes, begin, wordsEnd));
    its_current_line += countLineFeeds(begin, p);
    if (previousEnd != nullptr) {
        const char* const last = isWordChar(classes, previousEnd[-1])
                                     ? lastWord(classes, begin, previousEnd)
                                     : previousEnd - 1;
        its_previous->assign(last, static_cast<std::size_t>(previousEnd - last));
    }
    if (name != nullptr)
        its_attribute_name.assign(name, static_cast<std::size_t>(nameEnd - name));
}

} // namespace detail
} // namespace vtsupport
