// Links against vtsupport and checks that a traced line comes out; includes every
// public header, so that each is installed and stands on its own.
#include <iostream>
#include <string>

#include "vtsupport/files/FileUtils.h"
#include "vtsupport/files/Process.h"
#include "vtsupport/net/TCPAddress.h"
#include "vtsupport/net/TCPSocket.h"
#include "vtsupport/platform/CpuPlatform.h"
#include "vtsupport/platform/HostLookup.h"
#include "vtsupport/text/SimpleDOM.h"
#include "vtsupport/text/StreamTokenizer.h"
#include "vtsupport/utils/Cpu.h"
#include "vtsupport/utils/CpuId.h"
#include "vtsupport/utils/JAssert.h"
#include "vtsupport/utils/Trace.h"

int main() {
    utils::PTrace::instance()->enable();
    *utils::PTrace::instance() << "consumer traced " << 1 << '\n';
    JAssert(utils::PTrace::isEnabled());
    return std::string(utils::traceSwitchName).empty() ? 1 : 0;
}
