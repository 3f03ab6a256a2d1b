// Helpers shared by the test programs: environment changes undone at scope end,
// scratch directories, whole-file reading and writing, capture of standard
// output, the text a networking call throws, and threads started together.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "support/platform/TestPlatform.h"

namespace vttest {

// Sets a variable (or, given null, removes it) and restores its earlier state on destruction.
class ScopedEnv {
public:
    ScopedEnv(const std::string& name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string its_name;
    bool its_had_value;
    std::string its_value;
};

// A fresh directory in the temporary directory, removed with its contents on destruction.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& path() const { return its_path; }
    // path() and `name` joined by the native separator.
    std::string file(const std::string& name) const;

private:
    std::string its_path;
};

// Exact bytes, whatever text mode would make of them; reading a missing file gives "".
std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

// Redirects the standard output descriptor into a file while it lives. Standard
// output is made fully buffered meanwhile, so reached() shows exactly what was flushed.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;
    // What has reached the descriptor so far, flushing nothing.
    std::string reached() const;
    // Flushes standard output, then returns everything written.
    std::string flushed();

private:
    ScratchDir its_dir;
    std::FILE* its_file;
    int its_saved;
};

// The std::string that `action` throws, as the networking classes report errors;
// "(nothing thrown)" when it returns.
std::string thrownText(const std::function<void()>& action);

// Runs body(0) ... body(count - 1) on threads of their own, released together, and joins them.
void onThreadsAtOnce(int count, const std::function<void(int)>& body);

} // namespace vttest
