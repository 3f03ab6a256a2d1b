#include "vtsupport/platform/detail/LocaleSpaces.h"

#include <cctype>

namespace vtsupport {
namespace detail {

void fillSpaceClass(unsigned char* the_classes, int the_first, unsigned char the_bit) {
    for (int c = the_first; c < 256; ++c)
        the_classes[c] = std::isspace(c) ? the_bit : 0;
}

} // namespace detail
} // namespace vtsupport
