// Helpers of the file and process tests: the separator of the leg, environment
// changes undone at scope end, the helper program, and a mark of the process's
// open descriptors (Linux) or handles (Windows) that grows when one leaks.
#pragma once

#include <string>

namespace vttest {

// The native separator: '\\' on Windows, '/' elsewhere.
char separator();
// `path` with every backslash turned into the native separator.
std::string native(const std::string& path);

// Sets or removes a variable and restores its earlier state on destruction.
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

// Path of the files_helper program built beside the test programs (no extension,
// which both systems' program search supplies).
std::string helperProgram();
// A command line that runs the helper program with `arguments`.
std::string helperCommand(const std::string& arguments);

// Points TMP and TMPDIR at `dir` while it lives, so that the temporary files of
// capturing runs go there on either system.
struct TemporaryFilesIn {
    explicit TemporaryFilesIn(const std::string& dir)
        : tmp("TMP", dir.c_str()), tmpdir("TMPDIR", dir.c_str()) {}
    ScopedEnv tmp;
    ScopedEnv tmpdir;
};

// The number of open descriptors (Linux) or handles (Windows) of the process.
long openHandleMark();

// Polls up to `seconds` for `path` to exist.
bool waitForFile(const std::string& path, int seconds);

// An anonymous pipe with inheritable ends, to learn whether another process
// still holds its write end after this one has closed it.
class TestPipe {
public:
    TestPipe();
    ~TestPipe();
    TestPipe(const TestPipe&) = delete;
    TestPipe& operator=(const TestPipe&) = delete;

    bool isOpen() const;
    void closeWriteEnd();
    // Blocks until the pipe's end of file, which comes only when no process
    // holds the write end any more; false when the read fails otherwise.
    bool readEndOfFile();

private:
    int its_read_end = -1;
    int its_write_end = -1;
};

} // namespace vttest
