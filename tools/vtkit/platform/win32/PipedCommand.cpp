#include "../PipedCommand.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

namespace vtkit {
namespace platform {

namespace {

std::string systemMessage(DWORD code) {
    char text[512];
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, code, 0, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                          text[length - 1] == '.' || text[length - 1] == ' '))
        --length;
    return length > 0 ? std::string(text, length) : "error " + std::to_string(code);
}

} // namespace

// The child shares the tool's console, so Ctrl-C reaches it directly.
PipedRun runPiped(const std::string& command,
                  const std::function<bool(const char*, std::size_t)>& sink) {
    PipedRun run{false, 0, std::string()};
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE reading = nullptr;
    HANDLE writing = nullptr;
    if (!::CreatePipe(&reading, &writing, &inheritable, 0)) {
        run.error = systemMessage(::GetLastError());
        return run;
    }
    ::SetHandleInformation(reading, HANDLE_FLAG_INHERIT, 0);
    HANDLE nothing = ::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   &inheritable, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing;
    startup.hStdOutput = writing;
    startup.hStdError = writing;
    const char* comspec = std::getenv("COMSPEC");
    std::string line = std::string(comspec != nullptr ? comspec : "CMD.EXE") + " /c " + command;
    PROCESS_INFORMATION process{};
    const BOOL created = ::CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                                          nullptr, &startup, &process);
    const DWORD failure = created ? 0 : ::GetLastError();
    ::CloseHandle(writing);
    if (nothing != INVALID_HANDLE_VALUE)
        ::CloseHandle(nothing);
    if (!created) {
        ::CloseHandle(reading);
        run.error = systemMessage(failure);
        return run;
    }
    run.started = true;
    std::vector<char> buffer(64 * 1024);
    DWORD count = 0;
    // A write of nothing reads as nothing; the end is a broken pipe.
    while (::ReadFile(reading, buffer.data(), static_cast<DWORD>(buffer.size()), &count, nullptr)) {
        if (count > 0 && !sink(buffer.data(), count))
            break;
    }
    ::CloseHandle(reading);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    run.status = status;
    return run;
}

} // namespace platform
} // namespace vtkit
