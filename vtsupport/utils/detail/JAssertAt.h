// Library-internal: JAssert for a site whose report is fixed, whatever file
// and line the check stands on. The library's own assertions report under
// the names and lines their users know (StreamTokenizer, line 73, and so on),
// so moving or reformatting code must not change what they print.
#pragma once

#include "vtsupport/utils/JAssert.h"

// JAssertAt("StreamTokenizer", 73, expression): JAssert(expression),
// reported and switched (JASSERT_FILELIST) as that site.
#define JAssertAt(site, line, expression)                                                          \
    VTSUPPORT_DETAIL_JASSERT(expression, #expression, site, line)
