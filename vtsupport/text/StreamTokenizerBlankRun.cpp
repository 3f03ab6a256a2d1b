// The XML reader's shortcut through runs of blanks.
//
// Indentation makes up much of a typical document, and every blank would
// otherwise be a call of nextToken of its own.
#include <istream>
#include <ostream>
#include <streambuf>

#include "vtsupport/text/StreamTokenizer.h"

// Blank, tab, line feed and carriage return are whitespace in every locale,
// whatever the other sets hold, so each would come back as a token of its own
// and change nothing but the line count and the last token.
int StreamTokenizer::takeBlankRun(std::string* the_sink) {
    if (!its_whitespace_tokens || its_in_quote || !its_pushback_token.empty() ||
        !its_pending_token.empty())
        return -1;
    std::istream& in = *its_stream;
    if (!in.good())
        return -1;
    if (std::ostream* tied = in.tie())
        tied->flush();
    std::streambuf& buffer = *in.rdbuf();
    int last = -1;
    try {
        for (;;) {
            const int c = buffer.sgetc();
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
                break;
            buffer.sbumpc();
            if (the_sink != nullptr)
                the_sink->push_back(static_cast<char>(c));
            if (c == '\n')
                ++its_current_line;
            last = c;
        }
    } catch (...) {
        in.setstate(std::ios::badbit);
    }
    if (last != -1)
        its_last_token = last;
    return last;
}
