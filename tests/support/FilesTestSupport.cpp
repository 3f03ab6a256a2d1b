#include "support/FilesTestSupport.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <vector>

#include "support/TestSupport.h"
#include "vtsupport/files/FileUtils.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
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

std::string helperCommand(const std::string& arguments) {
    return helperProgram() + " " + arguments;
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

namespace {

#ifdef _WIN32
bool makePipe(int ends[2]) {
    return _pipe(ends, 256, _O_BINARY) == 0;
}
void closeEnd(int end) {
    _close(end);
}
long readOne(int end, char* byte) {
    return _read(end, byte, 1);
}
#else
bool makePipe(int ends[2]) {
    return pipe(ends) == 0;
}
void closeEnd(int end) {
    close(end);
}
long readOne(int end, char* byte) {
    return static_cast<long>(read(end, byte, 1));
}
#endif

} // namespace

TestPipe::TestPipe() {
    int ends[2] = {-1, -1};
    const bool made = makePipe(ends);
    if (made) {
        its_read_end = ends[0];
        its_write_end = ends[1];
    }
}

TestPipe::~TestPipe() {
    closeWriteEnd();
    if (its_read_end != -1)
        closeEnd(its_read_end);
}

bool TestPipe::isOpen() const {
    return its_read_end != -1 && its_write_end != -1;
}

void TestPipe::closeWriteEnd() {
    if (its_write_end != -1)
        closeEnd(its_write_end);
    its_write_end = -1;
}

bool TestPipe::readEndOfFile() {
    char byte = 0;
    return readOne(its_read_end, &byte) == 0;
}

} // namespace vttest
