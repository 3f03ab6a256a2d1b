// The tokenizer's rules written out plainly: one character at a time through
// istream::get, the flags of one call as separate booleans, no table and no
// shortcut. The library's tokenizer must give exactly the same tokens on the
// same lines. Where the rules leave a choice it makes the library's: a word or
// quoted text still being collected at the end is handed out before the end.
#pragma once

#include <cctype>
#include <istream>
#include <string>

#include "vtsupport/text/StreamTokenizer.h"

namespace reference {

class Tokenizer {
public:
    explicit Tokenizer(std::istream& the_in) : its_in(the_in) {}

    std::string ordinary = ";:,.", quotes = "\"'", escape = "\\", slStart, mlStart, mlEnd;
    bool whitespaceTokens = false;

    int lineno() const { return its_token_line; }
    std::string peekToken() { return its_pushback = nextToken(); }
    std::string nextToken() {
        std::string result;
        if (!its_pushback.empty())
            result.swap(its_pushback);
        else if (!its_pending.empty())
            result.swap(its_pending);
        else
            result = scan();
        return its_last = result;
    }

private:
    enum { kOrdinary = 2, kQuote = 3, kWord = 4, kWhitespace = 5 };

    int classify(int c) const {
        if (std::isspace(c))
            return kWhitespace;
        if (quotes.find(static_cast<char>(c)) != std::string::npos)
            return its_last == escape ? kWord : kQuote;
        if (ordinary.find(static_cast<char>(c)) != std::string::npos)
            return its_in_quote ? kWord : kOrdinary;
        return kWord;
    }
    static bool endsWith(const std::string& the_token, const std::string& the_marker) {
        return the_token.size() >= the_marker.size() &&
               the_token.rfind(the_marker) == the_token.size() - the_marker.size();
    }

    std::string scan() {
        std::string token, result = StreamTokenizer::TT_EOF;
        bool inWord = false, inComment = false, inSL = false, inML = false, done = false;
        bool haveResult = false;
        // A comment begins when the collected word ends with its marker.
        const auto comment = [&](const std::string& the_marker, bool& the_flag) {
            if (the_marker.empty() || !endsWith(token, the_marker))
                return;
            inComment = the_flag = true;
            if (token.size() == the_marker.size()) {
                inWord = false;
                token.clear();
            } else {
                result = token.substr(0, token.size() - the_marker.size());
                haveResult = true;
            }
        };
        for (int c = its_in.get(); c != std::char_traits<char>::eof(); c = its_in.get()) {
            const int cls = classify(c);
            if (cls == kOrdinary || cls == kQuote) {
                if (inComment)
                    continue;
                if (inWord || its_in_quote) {
                    its_pending.assign(1, static_cast<char>(c));
                    if (!inWord && cls == kQuote)
                        its_in_quote = false;
                    return token;
                }
                if (cls == kQuote)
                    its_in_quote = true;
                return std::string(1, static_cast<char>(c));
            }
            if (cls == kWord) {
                if (inML) {
                    token += static_cast<char>(c);
                    if (endsWith(token, mlEnd)) {
                        token.clear();
                        inML = inComment = false;
                        if (inWord)
                            return result;
                    }
                } else if (!inSL) {
                    if (!inWord && !its_in_quote) {
                        inWord = true;
                        its_token_line = its_line;
                    }
                    token += static_cast<char>(c);
                    if (!its_in_quote) {
                        comment(slStart, inSL);
                        comment(mlStart, inML);
                    }
                }
                continue;
            }
            if (inComment) {
            } else if (inWord) {
                result = token;
                inWord = false;
                done = true;
                if (whitespaceTokens)
                    its_pending.assign(1, static_cast<char>(c));
            } else if (its_in_quote) {
                token += static_cast<char>(c);
            } else if (whitespaceTokens) {
                result.assign(1, static_cast<char>(c));
                done = true;
            }
            if (c == '\n') {
                ++its_line;
                if (inSL) {
                    inSL = inComment = false;
                    if (inWord)
                        return result;
                }
            }
            if (done)
                return result;
        }
        if (haveResult)
            return result;
        if (!inComment && (inWord || its_in_quote) && !token.empty())
            return token;
        return StreamTokenizer::TT_EOF;
    }

    std::istream& its_in;
    std::string its_pushback, its_pending, its_last;
    bool its_in_quote = false;
    int its_line = 1, its_token_line = 1;
};

} // namespace reference
