// Links against vtsupport as a user's program does; includes every public
// header, so that each is installed and stands on its own. Checks that what the
// library traces reaches this program's own std::cout (one C++ runtime for both,
// a DLL included), then prints the version the headers carry.
#include <iostream>
#include <sstream>
#include <string>

#include "vtsupport/Version.h"
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

#if VTSUPPORT_VERSION_MAJOR < 1
#error "vtsupport/Version.h gives no usable release number"
#endif

int main() {
    utils::PTrace::instance()->enable();
    JAssert(utils::PTrace::isEnabled());
    std::ostringstream collected;
    std::streambuf* const saved = std::cout.rdbuf(collected.rdbuf());
    std::cout << std::hex;
    *utils::PTrace::instance() << "consumer traced " << 255 << '\n';
    std::cout << std::dec;
    std::cout.rdbuf(saved);
    if (collected.str() != "consumer traced ff\n") {
        std::cerr << "the trace did not reach this program's std::cout: [" << collected.str()
                  << "]\n";
        return 1;
    }
    std::cout << "vtsupport " << VTSUPPORT_VERSION_STRING << ' ' << VTSUPPORT_VERSION << '\n';
    return 0;
}
