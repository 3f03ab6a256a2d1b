// Node::clone: the subtree written into a string and read back from it in place, so a deep subtree
// (its text grows with the square of its depth) is held once. The stream rethrows what the string
// throws when memory runs out, where it would otherwise turn bad and leave a cut text for the
// reader.
#include <ios>
#include <istream>
#include <ostream>
#include <streambuf>
#include <string>

#include "vtsupport/text/SimpleDOM.h"

namespace SimpleDOM {

namespace {

class StringSink : public std::streambuf {
public:
    explicit StringSink(std::string& the_text) : its_text(the_text) {}

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        its_text += traits_type::to_char_type(c);
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        its_text.append(s, static_cast<std::string::size_type>(n));
        return n;
    }

private:
    std::string& its_text;
};
class StringSource : public std::streambuf {
public:
    explicit StringSource(const std::string& the_text) {
        char* begin = const_cast<char*>(the_text.data());
        setg(begin, begin, begin + the_text.size());
    }
};

} // namespace

Node* Node::clone() const {
    std::string text;
    {
        StringSink sink(text);
        std::ostream out(&sink);
        out.exceptions(std::ios::badbit);
        write(out, this, false);
    }
    StringSource source(text);
    std::istream in(&source);
    return parse(in, false);
}

} // namespace SimpleDOM
