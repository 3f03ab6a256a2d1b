#include "../Streams.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <climits>
#include <cstring>

namespace vtkit {
namespace platform {

// Bytes in and out exactly as they are: no line-end translation, and no
// Ctrl-Z taken for the end of standard input.
void prepareStandardStreams() {
    for (int descriptor = 0; descriptor < 3; ++descriptor) {
        if (::_get_osfhandle(descriptor) < 0) {
            const int nothing = ::_open("NUL", descriptor == 0 ? _O_WRONLY : _O_RDONLY);
            if (nothing >= 0 && nothing != descriptor) {
                ::_dup2(nothing, descriptor);
                ::_close(nothing);
            }
        }
        ::_setmode(descriptor, _O_BINARY);
    }
}

int openForReading(const std::string& path, std::string& error) {
    const int descriptor = ::_open(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (descriptor < 0)
        error = std::strerror(errno);
    return descriptor;
}

long readSome(int descriptor, char* buffer, std::size_t size, std::string& error) {
    const int count =
        ::_read(descriptor, buffer, static_cast<unsigned>(size < INT_MAX ? size : INT_MAX));
    if (count < 0)
        error = std::strerror(errno);
    return count;
}

long writeSome(int descriptor, const char* data, std::size_t size, std::string& error) {
    const int count =
        ::_write(descriptor, data, static_cast<unsigned>(size < INT_MAX ? size : INT_MAX));
    if (count > 0)
        return count;
    error = std::strerror(count < 0 ? errno : EIO);
    return -1;
}

void closeDescriptor(int descriptor) {
    ::_close(descriptor);
}

} // namespace platform
} // namespace vtkit
