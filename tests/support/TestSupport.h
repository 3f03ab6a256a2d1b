// Helpers shared by the test programs: environment edits, a scratch directory,
// capture of std::cout and of the standard output descriptor, and Wine detection.
#pragma once

#include <cstdio>
#include <ios>
#include <mutex>
#include <streambuf>
#include <string>
#include <vector>

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

// Puts a recording buffer under std::cout for its lifetime, the way a program
// collects what the library traces, and restores the buffer and the formatting
// state afterwards. Every character reaches the buffer at once; text() is all of
// it, flushes() the length of the text at each flush. Safe to write from several threads.
class CoutCapture {
public:
    CoutCapture();
    ~CoutCapture();
    CoutCapture(const CoutCapture&) = delete;
    CoutCapture& operator=(const CoutCapture&) = delete;
    std::string text() const;
    std::vector<std::size_t> flushes() const;

private:
    class Recorder : public std::streambuf {
    public:
        std::string text() const;
        std::vector<std::size_t> flushes() const;

    protected:
        int_type overflow(int_type the_char) override;
        std::streamsize xsputn(const char* the_text, std::streamsize the_count) override;
        int sync() override;

    private:
        mutable std::mutex its_lock;
        std::string its_text;
        std::vector<std::size_t> its_flushes;
    };

    Recorder its_recorder;
    std::ios its_format{nullptr};
    std::streambuf* its_saved;
};

// Redirects file descriptor 1 into a file for its lifetime, for what other
// processes write there; text() flushes standard output and returns it all.
class StdoutCapture {
public:
    StdoutCapture();
    ~StdoutCapture();
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;
    std::string text();

private:
    std::string its_file;
    int its_saved_fd = -1;
    std::FILE* its_stream = nullptr;
};

std::string readWholeFile(const std::string& path);

} // namespace vttest
