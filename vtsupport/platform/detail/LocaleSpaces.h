// Which bytes the C library's isspace takes for whitespace in the locale in force, for the
// tokenizer's class tables. A short parse costs less than a call per byte, so each half reads the
// answers the cheapest way its C library allows.
#pragma once

namespace vtsupport {
namespace detail {

// the_classes[c] becomes the_bit where isspace(c) holds, else 0, for each byte c from the_first
// to 255.
void fillSpaceClass(unsigned char* the_classes, int the_first, unsigned char the_bit);

} // namespace detail
} // namespace vtsupport
