// Links against vtsupport and checks that a traced line comes out.
#include <iostream>
#include <string>

#include "vtsupport/utils/JAssert.h"
#include "vtsupport/utils/Trace.h"

int main() {
    utils::PTrace::instance()->enable();
    *utils::PTrace::instance() << "consumer traced " << 1 << '\n';
    JAssert(utils::PTrace::isEnabled());
    return std::string(utils::traceSwitchName).empty() ? 1 : 0;
}
