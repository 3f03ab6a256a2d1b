#include "support/platform/TestPlatform.h"

#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>
#include <windows.h>

namespace vttest {
const bool onWindows = true;
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
namespace {
// Runs a program of Wine's Unix side on the Unix names of `paths` (no blanks in
// them), then waits up to ten seconds for the last path to exist, or not: `start
// /wait /unix` returns before the Unix program ends.
bool runOnUnixSide(std::string line, const std::vector<std::string>& paths, bool exists) {
    using UnixName = char*(__cdecl*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr)
        return false;
    for (const std::string& path : paths) {
        char* name = unixName(std::wstring(path.begin(), path.end()).c_str());
        line += std::string(" ") + (name != nullptr ? name : "");
        HeapFree(GetProcessHeap(), 0, name);
    }
    if (std::system(("start /wait /unix " + line).c_str()) != 0)
        return false;
    for (int waited = 0; waited < 10000; waited += 10) {
        if ((GetFileAttributesA(paths.back().c_str()) != INVALID_FILE_ATTRIBUTES) == exists)
            return true;
        Sleep(10);
    }
    return false;
}
} // namespace
bool makeDirectoryLink(const std::string& target, const std::string& link) {
    if (!runningUnderWine())
        return std::system(("mklink /J \"" + link + "\" \"" + target + "\" >NUL").c_str()) == 0;
    return runOnUnixSide("/bin/ln -s", {target, link}, true);
}
void removeDirectoryLink(const std::string& link) {
    if (runningUnderWine())
        runOnUnixSide("/bin/rm -f", {link}, false);
    else
        RemoveDirectoryA(link.c_str());
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
bool inheritable(std::intptr_t handle) {
    DWORD flags = 0;
    return ::GetHandleInformation(reinterpret_cast<HANDLE>(handle), &flags) &&
           (flags & HANDLE_FLAG_INHERIT) != 0;
}
bool refuseBulkClose() {
    return false;
}
bool withoutStandardInput(const std::function<void()>&) {
    return false;
}
bool withoutFreeDescriptors(const std::function<void()>&) {
    return false;
}
bool readsEndOfFile(int readEnd) {
    char byte;
    return _read(readEnd, &byte, 1) == 0;
}
bool unwaitedChildAppears(int) {
    return false;
}
int copyAboveDescriptorLimit(int descriptor) {
    return _dup(descriptor);
}
void restoreDescriptorLimit() {}
bool interruptAfter(int, bool) {
    return false;
}
bool recordTerminations(const std::string&) {
    return false;
}
void restoreTermination() {}
bool terminateChildren() {
    return false;
}
// "Intel64 Family 6 Model 85 Stepping 4, GenuineIntel"
std::string processorVendor() {
    const char* identifier = std::getenv("PROCESSOR_IDENTIFIER");
    const std::string text = identifier != nullptr ? identifier : "";
    return text.substr(text.rfind(' ') + 1);
}
} // namespace vttest
