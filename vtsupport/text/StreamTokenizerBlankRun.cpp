// The XML reader's shortcut through runs of blanks.
//
// Indentation makes up much of a typical document, and every blank would
// otherwise be a call of nextToken of its own.
#include <istream>
#include <ostream>
#include <streambuf>

#include "vtsupport/text/GetArea.h"
#include "vtsupport/text/StreamTokenizer.h"
#include "vtsupport/text/TokenizerChars.h"

using SimpleDOM::isBlank;

// Blank, tab, line feed and carriage return are whitespace in every locale,
// whatever the other sets hold, so each would come back as a token of its own
// and change nothing but the line count and the last token. The run is taken
// in bulk from what the stream buffer holds, and refilled through sgetc.
int StreamTokenizer::takeBlankRun(std::string* the_sink) {
    using SimpleDOM::GetArea;
    if (!its_whitespace_tokens || its_in_quote || !its_pushback_token.empty() ||
        its_pending_token != -1)
        return -1;
    std::istream& in = *its_stream;
    if (!in.good())
        return -1;
    if (std::ostream* tied = in.tie())
        tied->flush();
    std::streambuf& buffer = *in.rdbuf();
    int last = -1;
    try {
        while (isBlank(buffer.sgetc())) {
            const char* const begin = GetArea::next(buffer);
            const char* const end = GetArea::end(buffer);
            const char* p = begin;
            while (p < end && isBlank(static_cast<unsigned char>(*p))) {
                if (*p == '\n')
                    ++its_current_line;
                ++p;
            }
            if (p == begin) {
                // A buffer that hands out characters without a get area.
                const int c = buffer.sbumpc();
                if (c == '\n')
                    ++its_current_line;
                if (the_sink != nullptr)
                    the_sink->push_back(static_cast<char>(c));
                last = c;
                continue;
            }
            if (the_sink != nullptr)
                the_sink->append(begin, static_cast<std::size_t>(p - begin));
            last = static_cast<unsigned char>(p[-1]);
            GetArea::skip(buffer, static_cast<std::size_t>(p - begin));
        }
    } catch (...) {
        in.setstate(std::ios::badbit);
    }
    if (last != -1)
        its_last_token = last;
    return last;
}
