#include "support/platform/TestPlatform.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <iterator>
#include <thread>

namespace vttest {

bool privileged() {
    return ::geteuid() == 0;
}

void setEnv(const std::string& name, const char* value) {
    if (value != nullptr)
        ::setenv(name.c_str(), value, 1);
    else
        ::unsetenv(name.c_str());
}

bool runningUnderWine() {
    return false;
}

int redirectStdout(std::FILE* file) {
    const int saved = ::dup(1);
    ::dup2(::fileno(file), 1);
    return saved;
}

void restoreStdout(int saved) {
    ::dup2(saved, 1);
    ::close(saved);
}

std::string commandIn(const std::string& dir, const std::string& line, const std::string& out,
                      const std::string& err) {
    return "cd '" + dir + "' && { " + line + "\n} > '" + out + "' 2> '" + err + "'";
}

long openHandleCount() {
    const std::filesystem::directory_iterator entries("/proc/self/fd");
    return static_cast<long>(std::distance(begin(entries), end(entries)));
}

bool makeInheritablePipe(int ends[2]) {
    return ::pipe(ends) == 0;
}

void closeDescriptor(int descriptor) {
    ::close(descriptor);
}

bool readsEndOfFile(int readEnd) {
    char byte;
    return ::read(readEnd, &byte, 1) == 0;
}

bool unwaitedChildAppears(int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        const pid_t child = ::waitpid(-1, nullptr, WNOHANG);
        if (child > 0)
            return true;
        if (child == -1 && errno == ECHILD)
            return false;
        if (std::chrono::steady_clock::now() > deadline)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool interruptAfter(int milliseconds) {
    struct sigaction action = {};
    action.sa_handler = [](int) {};
    ::sigaction(SIGALRM, &action, nullptr);
    const pthread_t target = ::pthread_self();
    std::thread([=] {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        ::pthread_kill(target, SIGALRM);
    }).detach();
    return true;
}

// Linux has no process-wide mask: the main thread's stands for it (this one).
bool confineToFirstProcessor() {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(0, &set);
    return ::sched_setaffinity(0, sizeof set, &set) == 0;
}

bool hideOnlineProcessorList() {
    return ::unshare(CLONE_NEWNS) == 0 &&
           ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
           ::mount("tmpfs", "/sys/devices/system/cpu", "tmpfs", 0, nullptr) == 0;
}

bool mountReadOnlyVolume(const std::string& dir) {
    return ::mount("tmpfs", dir.c_str(), "tmpfs", MS_RDONLY, "size=64k") == 0;
}

void unmountVolume(const std::string& dir) {
    ::umount2(dir.c_str(), MNT_DETACH);
}

Socket listenOnLoopback(int& port) {
    const int handle = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::listen(handle, SOMAXCONN) != 0) {
        ::close(handle);
        return -1;
    }
    port = ntohs(address.sin_port);
    return handle;
}

bool readable(Socket socket, int seconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(static_cast<int>(socket), &set);
    timeval wait{seconds, 0};
    return ::select(static_cast<int>(socket) + 1, &set, nullptr, nullptr, &wait) == 1;
}

Socket acceptConnection(Socket listener) {
    const int accepted = ::accept(static_cast<int>(listener), nullptr, nullptr);
    return accepted < 0 ? -1 : accepted;
}

long sendSome(Socket socket, const char* bytes, std::size_t count) {
    return static_cast<long>(::send(static_cast<int>(socket), bytes, count, MSG_NOSIGNAL));
}

long receiveSome(Socket socket, char* buffer, std::size_t capacity) {
    return static_cast<long>(::recv(static_cast<int>(socket), buffer, capacity, 0));
}

void closeSocket(Socket socket, bool reset) {
    if (reset) {
        const linger option{1, 0};
        ::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_LINGER, &option, sizeof option);
    }
    ::close(static_cast<int>(socket));
}

void sendImmediately(Socket socket) {
    const int on = 1;
    ::setsockopt(static_cast<int>(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

} // namespace vttest
