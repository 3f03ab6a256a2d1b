#include "support/FilesTestSupport.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <vector>

#include "support/TestSupport.h"
#include "vtsupport/files/FileUtils.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace vttest {

char separator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

std::string native(const std::string& path) {
    std::string result = path;
    for (char& c : result) {
        if (c == '\\')
            c = separator();
    }
    return result;
}

ScopedEnv::ScopedEnv(const std::string& name, const char* value) : its_name(name) {
    const char* old = std::getenv(name.c_str());
    its_had_value = old != nullptr;
    if (its_had_value)
        its_value = old;
    if (value != nullptr)
        setEnv(name, value);
    else
        unsetEnv(name);
}

ScopedEnv::~ScopedEnv() {
    if (its_had_value)
        setEnv(its_name, its_value);
    else
        unsetEnv(its_name);
}

std::string helperProgram() {
    return FileUtils::programDirectory() + separator() + "files_helper";
}

long openHandleMark() {
#ifdef _WIN32
    // Handle values are multiples of four; a leak of any kind lands low in the table.
    long count = 0;
    DWORD flags = 0;
    for (std::uintptr_t value = 4; value < 65536; value += 4) {
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
#else
    std::vector<std::string> names;
    FileUtils::listFiles("/proc/self/fd/*", names);
    return static_cast<long>(names.size());
#endif
}

bool waitForFile(const std::string& path, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!FileUtils::isFile(path)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace vttest
