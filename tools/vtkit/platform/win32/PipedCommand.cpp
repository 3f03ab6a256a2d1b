#include "../PipedCommand.h"

#include <windows.h>

#include <vector>

#include "../Interrupts.h"
#include "vtsupport/files/detail/CommandLine.h"

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

// A job that ends every process in it when its last handle closes, so that the
// tool's end, however it comes, ends the command and all it started; null when
// the system gives none (the command then runs without).
HANDLE jobThatEndsWithTheTool() {
    HANDLE job = ::CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job != nullptr && !::SetInformationJobObject(job, JobObjectExtendedLimitInformation,
                                                     &limits, sizeof limits)) {
        ::CloseHandle(job);
        job = nullptr;
    }
    return job;
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
    using vtsupport::detail::InterpreterSyntax;
    std::string line = vtsupport::detail::interpreterProgram(InterpreterSyntax::WindowsCmd) + " " +
                       vtsupport::detail::interpreterRunSwitch(InterpreterSyntax::WindowsCmd) +
                       " " + command;
    HANDLE job = jobThatEndsWithTheTool();
    PROCESS_INFORMATION process{};
    // Suspended until it is in the job, so that nothing it starts escapes it.
    const BOOL created = ::CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE,
                                          CREATE_SUSPENDED, nullptr, nullptr, &startup, &process);
    const DWORD failure = created ? 0 : ::GetLastError();
    ::CloseHandle(writing);
    if (nothing != INVALID_HANDLE_VALUE)
        ::CloseHandle(nothing);
    if (!created) {
        ::CloseHandle(reading);
        if (job != nullptr)
            ::CloseHandle(job);
        run.error = systemMessage(failure);
        return run;
    }
    if (job != nullptr && !::AssignProcessToJobObject(job, process.hProcess)) {
        ::CloseHandle(job);
        job = nullptr;
    }
    ::ResumeThread(process.hThread);
    run.started = true;
    const auto endAll = [&] {
        if (job == nullptr || !::TerminateJobObject(job, 1))
            ::TerminateProcess(process.hProcess, 1);
    };
    // Polled in short steps, so that a second interrupt ends the wait however
    // quiet the command is; the end is a broken pipe.
    std::vector<char> buffer(64 * 1024);
    DWORD available = 0;
    while (::PeekNamedPipe(reading, nullptr, 0, nullptr, &available, nullptr)) {
        if (interruptionCount() > 1) {
            endAll();
            break;
        }
        DWORD count = 0;
        if (available == 0) {
            ::Sleep(50);
        } else if (!::ReadFile(reading, buffer.data(), static_cast<DWORD>(buffer.size()), &count,
                               nullptr)) {
            break;
        } else if (count > 0 && !sink(buffer.data(), count)) {
            endAll();
            break;
        }
    }
    ::CloseHandle(reading);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    if (job != nullptr)
        ::CloseHandle(job);
    run.status = status;
    return run;
}

} // namespace platform
} // namespace vtkit
