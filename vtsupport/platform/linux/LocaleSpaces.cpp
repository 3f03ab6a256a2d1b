// glibc's isspace reads the locale's class table; reading the table here gives its answers
// without a call per byte.
#include "vtsupport/platform/detail/LocaleSpaces.h"

#include <ctype.h>

namespace vtsupport {
namespace detail {

void fillSpaceClass(unsigned char* the_classes, int the_first, unsigned char the_bit) {
    const unsigned short* const classes = *__ctype_b_loc();
    for (int c = the_first; c < 256; ++c)
        the_classes[c] = (classes[c] & _ISspace) != 0 ? the_bit : 0;
}

} // namespace detail
} // namespace vtsupport
