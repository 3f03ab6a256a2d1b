#include "support/NetTestPeer.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "support/TestSupport.h"

#ifdef _WIN32
// Winsock first: windows.h would otherwise pull in the old socket header.
#include <winsock2.h>

#include <windows.h>
using vt_socklen = int;
#else
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <spawn.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
using vt_socklen = socklen_t;
extern char** environ;
#endif

namespace vttest {

namespace {

#ifdef _WIN32
using Handle = SOCKET;
void closeHandle(std::intptr_t handle) {
    closesocket(static_cast<SOCKET>(handle));
}
#else
using Handle = int;
void closeHandle(std::intptr_t handle) {
    ::close(static_cast<int>(handle));
}
#endif

// The test's own start-up, independent of the library's (Winsock counts them).
void startSockets() {
#ifdef _WIN32
    static bool started = false;
    if (!started) {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
#endif
}

std::intptr_t newSocket() {
    startSockets();
    Handle handle = ::socket(AF_INET, SOCK_STREAM, 0);
#ifdef _WIN32
    if (handle == INVALID_SOCKET)
        return -1;
#endif
    return static_cast<std::intptr_t>(handle);
}

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<unsigned short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A listening or unconnected socket bound to 127.0.0.1 at a free port.
std::intptr_t bindLoopback(int& port) {
    const std::intptr_t handle = newSocket();
    if (handle == -1)
        throw std::runtime_error("cannot create a socket");
    sockaddr_in address = loopback(0);
    vt_socklen length = sizeof address;
    if (::bind(static_cast<Handle>(handle), reinterpret_cast<sockaddr*>(&address),
               sizeof address) != 0 ||
        ::getsockname(static_cast<Handle>(handle), reinterpret_cast<sockaddr*>(&address),
                      &length) != 0) {
        closeHandle(handle);
        throw std::runtime_error("cannot bind to 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return handle;
}

bool readable(std::intptr_t handle) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(static_cast<Handle>(handle), &set);
    timeval wait{waitSeconds, 0};
    return ::select(static_cast<int>(handle) + 1, &set, nullptr, nullptr, &wait) == 1;
}

} // namespace

std::string thrownText(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::string& text) {
        return text;
    }
    return "(nothing thrown)";
}

PeerConnection::PeerConnection(PeerConnection&& other) noexcept
    : its_handle(other.its_handle), its_end_seen(other.its_end_seen) {
    other.its_handle = -1;
}

PeerConnection::~PeerConnection() {
    close();
}

void PeerConnection::close() {
    if (its_handle != -1)
        closeHandle(its_handle);
    its_handle = -1;
}

void PeerConnection::reset() {
    if (its_handle == -1)
        return;
    linger option{};
    option.l_onoff = 1;
    option.l_linger = 0;
    ::setsockopt(static_cast<Handle>(its_handle), SOL_SOCKET, SO_LINGER,
                 reinterpret_cast<const char*>(&option), sizeof option);
    close();
}

void PeerConnection::sendImmediately() {
    const int on = 1;
    ::setsockopt(static_cast<Handle>(its_handle), IPPROTO_TCP, TCP_NODELAY,
                 reinterpret_cast<const char*>(&on), sizeof on);
}

bool PeerConnection::send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
#ifdef _WIN32
        const int sent = ::send(static_cast<Handle>(its_handle), bytes.data() + done,
                                static_cast<int>(bytes.size() - done), 0);
#else
        const ssize_t sent =
            ::send(its_handle, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
#endif
        if (sent <= 0)
            return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

std::string PeerConnection::receive(std::size_t count) {
    std::string bytes;
    char buffer[4096];
    while (bytes.size() < count && readable(its_handle)) {
        const std::size_t want = std::min(sizeof buffer, count - bytes.size());
        const auto got = ::recv(static_cast<Handle>(its_handle), buffer, static_cast<int>(want), 0);
        if (got <= 0) {
            its_end_seen = got == 0;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

std::string PeerConnection::receiveAll() {
    return receive(static_cast<std::size_t>(-1));
}

std::string frameOf(const std::string& payload) {
    const std::string digits = std::to_string(payload.size());
    return std::string(1, static_cast<char>(digits.size())) + digits + payload;
}

std::string receiveFrame(PeerConnection& connection) {
    const std::string count = connection.receive(1);
    if (count.empty())
        return std::string();
    const std::string digits = connection.receive(static_cast<unsigned char>(count[0]));
    return connection.receive(static_cast<std::size_t>(std::atol(digits.c_str())));
}

PeerListener::PeerListener() {
    its_handle = bindLoopback(its_port);
    if (::listen(static_cast<Handle>(its_handle), SOMAXCONN) != 0) {
        closeHandle(its_handle);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
}

PeerListener::~PeerListener() {
    closeHandle(its_handle);
}

PeerConnection PeerListener::accept() {
    if (!readable(its_handle))
        return PeerConnection();
    const Handle accepted = ::accept(static_cast<Handle>(its_handle), nullptr, nullptr);
#ifdef _WIN32
    if (accepted == INVALID_SOCKET)
        return PeerConnection();
#else
    if (accepted < 0)
        return PeerConnection();
#endif
    return PeerConnection(static_cast<std::intptr_t>(accepted));
}

PeerThread::PeerThread(PeerListener& listener, std::function<void(PeerConnection&)> script)
    : its_thread([&listener, script] {
          PeerConnection connection = listener.accept();
          script(connection);
      }) {}

PeerThread::~PeerThread() {
    join();
}

void PeerThread::join() {
    if (its_thread.joinable())
        its_thread.join();
}

int unusedPort() {
    int port = 0;
    closeHandle(bindLoopback(port));
    return port;
}

long long freshDescriptorNumber() {
    std::vector<std::intptr_t> handles;
    for (int i = 0; i < 16; ++i)
        handles.push_back(newSocket());
    long long highest = -1;
    for (std::intptr_t handle : handles) {
        highest = std::max(highest, static_cast<long long>(handle));
        closeHandle(handle);
    }
    return highest;
}

int openDescriptorCount() {
#ifdef _WIN32
    DWORD count = 0;
    // Wine answers success with a count of 0; treat that as "not counted".
    if (!GetProcessHandleCount(GetCurrentProcess(), &count) || count == 0)
        return -1;
    return static_cast<int>(count);
#else
    DIR* directory = opendir("/proc/self/fd");
    if (directory == nullptr)
        return -1;
    int count = 0;
    while (readdir(directory) != nullptr)
        ++count;
    closedir(directory);
    return count;
#endif
}

#ifdef _WIN32
// Wine starts Linux programs given by their Z: path, but hands back no process
// handle to wait on; on Windows proper the interpreter comes from PATH.
PythonProcess::PythonProcess(const std::vector<std::string>& arguments) {
    std::string command = runningUnderWine() ? "Z:\\usr\\bin\\python3" : "python";
    for (const std::string& argument : arguments)
        command += " \"" + argument + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    its_started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &process) != 0;
    if (its_started) {
        its_process = reinterpret_cast<std::intptr_t>(process.hProcess);
        if (process.hThread != nullptr)
            CloseHandle(process.hThread);
    }
}

PythonProcess::~PythonProcess() {
    HANDLE process = reinterpret_cast<HANDLE>(its_process);
    if (process != nullptr) {
        WaitForSingleObject(process, waitSeconds * 1000);
        CloseHandle(process);
    }
}
#else
PythonProcess::PythonProcess(const std::vector<std::string>& arguments) {
    std::vector<std::string> words{"python3"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);
    pid_t pid = 0;
    its_started = posix_spawnp(&pid, "python3", nullptr, nullptr, argv.data(), environ) == 0;
    its_process = pid;
}

PythonProcess::~PythonProcess() {
    if (its_started) {
        int status = 0;
        waitpid(static_cast<pid_t>(its_process), &status, 0);
    }
}
#endif

} // namespace vttest
