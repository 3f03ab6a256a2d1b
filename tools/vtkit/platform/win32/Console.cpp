#include "../Console.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

namespace vtkit {
namespace platform {

void useBinaryStandardOutput() {
    ::_setmode(::_fileno(stdout), _O_BINARY);
}

} // namespace platform
} // namespace vtkit
