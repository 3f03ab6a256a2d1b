#include "vtsupport/platform/detail/ProcessSpawn.h"

#include <windows.h>

#include <vector>

namespace vtsupport {
namespace detail {

namespace {

// CreateProcessA may write into its command line, so it gets a private copy.
std::vector<char> writableLine(const std::string& line) {
    return std::vector<char>(line.c_str(), line.c_str() + line.size() + 1);
}

} // namespace

InterpreterSyntax nativeInterpreterSyntax() {
    return InterpreterSyntax::WindowsCmd;
}

unsigned long runInterpreter(const std::string& interpreter, const std::string& command) {
    STARTUPINFOA startup;
    ::ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW; // wShowWindow stays SW_HIDE (0)
    PROCESS_INFORMATION process;
    std::vector<char> line = writableLine(
        interpreter + " " + interpreterRunSwitch(InterpreterSyntax::WindowsCmd) + " " + command);
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                          nullptr, nullptr, &startup, &process))
        return ::GetLastError();
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return exitCode;
}

bool spawnProgram(const std::string& commandLine, bool untilExit,
                  unsigned int otherwiseMilliseconds) {
    STARTUPINFOA startup;
    ::ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    std::vector<char> line = writableLine(commandLine);
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process))
        return false;
    ::WaitForSingleObject(process.hProcess, untilExit ? INFINITE : otherwiseMilliseconds);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    return true;
}

void sleepMilliseconds(unsigned long long milliseconds) {
    // Sleep takes 32 bits and reads INFINITE as "forever": longer times go in pieces.
    const unsigned long long longest = INFINITE - 1;
    while (milliseconds > longest) {
        ::Sleep(static_cast<DWORD>(longest));
        milliseconds -= longest;
    }
    ::Sleep(static_cast<DWORD>(milliseconds));
}

} // namespace detail
} // namespace vtsupport
