// Links against vtsupport as a user's program does; includes every public
// header, so that each is installed and stands on its own, calls the library
// (so that it is loaded) and prints the version the headers carry.
#include <iostream>

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
    if (FileUtils::baseName("dir/vtsupport") != "vtsupport")
        return 1;
    std::cout << "vtsupport " << VTSUPPORT_VERSION_STRING << ' ' << VTSUPPORT_VERSION << '\n';
    return 0;
}
