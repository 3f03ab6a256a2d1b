// Helpers shared by the test programs: environment edits, a scratch directory,
// capture of what reaches the standard output descriptor, and Wine detection.
#pragma once

#include <cstdio>
#include <string>

namespace vttest {

// Sets or removes an environment variable of the test process.
void setEnv(const std::string& name, const std::string& value);
void unsetEnv(const std::string& name);

// True when the program runs under Wine (ntdll exports wine_get_version).
bool runningUnderWine();

// A fresh directory for one test, removed with its contents on destruction.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return its_path; }
    // path() joined with `name` by the native separator.
    std::string file(const std::string& name) const;

private:
    std::string its_path;
};

// Redirects file descriptor 1 into a file for its lifetime. standard output is
// made fully buffered, so `reached()` shows exactly what was flushed so far.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;
    // The bytes that have reached the descriptor, without flushing anything.
    std::string reached() const;
    // Flushes standard output, then returns everything written.
    std::string flushed();

private:
    std::string its_file;
    int its_saved_fd = -1;
    std::FILE* its_stream = nullptr;
};

std::string readWholeFile(const std::string& path);

} // namespace vttest
