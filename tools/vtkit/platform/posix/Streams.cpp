#include "../Streams.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vtkit {
namespace platform {

namespace {

extern "C" void ignoreSignal(int) {}

} // namespace

void prepareStandardStreams() {
    for (int descriptor = 0; descriptor < 3; ++descriptor) {
        // The lowest free number is the closed one.
        if (::fcntl(descriptor, F_GETFD) < 0 && errno == EBADF)
            ::open("/dev/null", descriptor == 0 ? O_WRONLY : O_RDONLY);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, nullptr);
    // Caught rather than ignored, so that a command vtkit runs starts with the
    // ordinary action; a write past the limit then fails with EFBIG.
    struct sigaction nothing {};
    nothing.sa_handler = ignoreSignal;
    ::sigaction(SIGXFSZ, &nothing, nullptr);
}

int openForReading(const std::string& path, std::string& error) {
    int descriptor;
    do {
        descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0)
        error = std::strerror(errno);
    return descriptor;
}

long readSome(int descriptor, char* buffer, std::size_t size, std::string& error) {
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer, size);
        if (count >= 0)
            return static_cast<long>(count);
        if (errno != EINTR) {
            error = std::strerror(errno);
            return -1;
        }
    }
}

long writeSome(int descriptor, const char* data, std::size_t size, std::string& error) {
    for (;;) {
        const ssize_t count = ::write(descriptor, data, size);
        if (count > 0)
            return static_cast<long>(count);
        if (count < 0 && errno == EINTR)
            continue;
        error = std::strerror(count < 0 ? errno : EIO);
        return -1;
    }
}

void closeDescriptor(int descriptor) {
    ::close(descriptor);
}

} // namespace platform
} // namespace vtkit
