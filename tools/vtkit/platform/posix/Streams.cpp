#include "../Streams.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vtkit {
namespace platform {

namespace {

// Standard descriptors that were closed at start and now hold the null device.
bool reserved[3] = {false, false, false};

bool isReserved(int descriptor, std::string& error) {
    if (descriptor < 0 || descriptor > 2 || !reserved[descriptor])
        return false;
    error = std::strerror(EBADF);
    return true;
}

} // namespace

void prepareStandardStreams() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, nullptr);
    // Checked in order, so the lowest free number, which open takes, is this one.
    for (int descriptor = 0; descriptor < 3; ++descriptor) {
        if (::fcntl(descriptor, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = ::open("/dev/null", descriptor == 0 ? O_RDONLY : O_WRONLY);
        reserved[descriptor] = opened == descriptor;
    }
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
    if (isReserved(descriptor, error))
        return -1;
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
    if (isReserved(descriptor, error))
        return -1;
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
