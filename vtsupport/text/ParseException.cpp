// The reader's exception: a message and an input line, copied as a pair.
#include "vtsupport/text/SimpleDOM.h"

namespace SimpleDOM {

ParseException::ParseException(const std::string& the_message, int the_line)
    : std::exception(), its_message(the_message), its_line(the_line) {}

ParseException::ParseException(const ParseException& the_other) = default;
ParseException& ParseException::operator=(const ParseException& the_other) = default;
ParseException::~ParseException() = default;

const char* ParseException::what() const noexcept {
    return its_message.c_str();
}

} // namespace SimpleDOM
