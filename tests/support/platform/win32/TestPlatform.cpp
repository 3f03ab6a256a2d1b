#include "support/platform/TestPlatform.h"

// Winsock first: windows.h would otherwise pull in the old socket header.
#include <winsock2.h>

#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#include <windows.h>

namespace vttest {

bool privileged() {
    return false;
}

void setEnv(const std::string& name, const char* value) {
    // _putenv_s removes a variable given an empty value, so an empty one needs the
    // Win32 call too; together they keep the C runtime's copy and the process block in step.
    _putenv_s(name.c_str(), value != nullptr ? value : "");
    if (value != nullptr && *value == '\0')
        SetEnvironmentVariableA(name.c_str(), "");
}

bool runningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

int redirectStdout(std::FILE* file) {
    const int saved = _dup(1);
    _dup2(_fileno(file), 1);
    return saved;
}

void restoreStdout(int saved) {
    _dup2(saved, 1);
    _close(saved);
}

// cmd.exe /c drops the first and last double quote of a line that starts with one,
// hence the outer pair; Wine's cmd.exe mishandles a redirected group, so the
// redirections follow the (single) command.
std::string commandIn(const std::string& dir, const std::string& line, const std::string& out,
                      const std::string& err) {
    return "\"cd /d \"" + dir + "\" && " + line + " > \"" + out + "\" 2> \"" + err + "\"\"";
}

// Handle values are multiples of four; a leak of any kind lands low in the table.
long openHandleCount() {
    long count = 0;
    DWORD flags = 0;
    for (std::uintptr_t value = 4; value < 65536; value += 4)
        count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    return count;
}

bool makeInheritablePipe(int ends[2]) {
    return _pipe(ends, 256, _O_BINARY) == 0;
}

void closeDescriptor(int descriptor) {
    _close(descriptor);
}

bool readsEndOfFile(int readEnd) {
    char byte;
    return _read(readEnd, &byte, 1) == 0;
}

bool unwaitedChildAppears(int) {
    return false;
}

bool interruptAfter(int) {
    return false;
}

bool hideOnlineProcessorList() {
    return false;
}

bool confineToFirstProcessor() {
    return SetProcessAffinityMask(GetCurrentProcess(), 1) != 0;
}

bool mountReadOnlyVolume(const std::string&) {
    return false;
}

void unmountVolume(const std::string&) {}

namespace {

// The tests' own start-up, apart from the library's (Winsock counts them).
void startSockets() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

} // namespace

Socket listenOnLoopback(int& port) {
    startSockets();
    const SOCKET handle = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (handle == INVALID_SOCKET ||
        bind(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        listen(handle, SOMAXCONN) != 0) {
        closesocket(handle);
        return -1;
    }
    port = ntohs(address.sin_port);
    return static_cast<Socket>(handle);
}

bool readable(Socket socket, int seconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(static_cast<SOCKET>(socket), &set);
    timeval wait{seconds, 0};
    return select(0, &set, nullptr, nullptr, &wait) == 1;
}

Socket acceptConnection(Socket listener) {
    const SOCKET accepted = accept(static_cast<SOCKET>(listener), nullptr, nullptr);
    return accepted == INVALID_SOCKET ? -1 : static_cast<Socket>(accepted);
}

long sendSome(Socket socket, const char* bytes, std::size_t count) {
    return send(static_cast<SOCKET>(socket), bytes, static_cast<int>(count), 0);
}

long receiveSome(Socket socket, char* buffer, std::size_t capacity) {
    return recv(static_cast<SOCKET>(socket), buffer, static_cast<int>(capacity), 0);
}

void closeSocket(Socket socket, bool reset) {
    if (reset) {
        const linger option{1, 0};
        setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_LINGER,
                   reinterpret_cast<const char*>(&option), sizeof option);
    }
    closesocket(static_cast<SOCKET>(socket));
}

void sendImmediately(Socket socket) {
    const BOOL on = TRUE;
    setsockopt(static_cast<SOCKET>(socket), IPPROTO_TCP, TCP_NODELAY,
               reinterpret_cast<const char*>(&on), sizeof on);
}

} // namespace vttest
