#include "support/TestSupport.h"

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <direct.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#define vt_getpid _getpid
#else
#include <sys/stat.h>
#include <unistd.h>
#define vt_getpid getpid
#endif

namespace vttest {

void setEnv(const std::string& name, const std::string& value) {
#ifdef _WIN32
    // _putenv removes a variable given "NAME=", so an empty value needs the Win32 call
    // too; both keep the C runtime's copy and the process block in step.
    _putenv_s(name.c_str(), value.c_str());
    if (value.empty()) {
        SetEnvironmentVariableA(name.c_str(), "");
    }
#else
    setenv(name.c_str(), value.c_str(), 1);
#endif
}

void unsetEnv(const std::string& name) {
#ifdef _WIN32
    _putenv_s(name.c_str(), "");
#else
    unsetenv(name.c_str());
#endif
}

bool runningUnderWine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

static std::string tempRoot() {
#ifdef _WIN32
    char buffer[MAX_PATH + 1];
    DWORD n = GetTempPathA(sizeof buffer, buffer);
    std::string root(buffer, n);
    if (!root.empty() && (root.back() == '\\' || root.back() == '/'))
        root.pop_back();
    return root;
#else
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp";
#endif
}

#ifdef _WIN32
const char separator = '\\';
#else
const char separator = '/';
#endif

// A path in the temporary directory made from `prefix`, the process and a counter.
static std::string tempPath(const char* prefix, const char* suffix) {
    static std::atomic<unsigned> counter{0};
    std::ostringstream name;
    name << tempRoot() << separator << prefix << vt_getpid() << '-' << counter++ << suffix;
    return name.str();
}

ScratchDir::ScratchDir() {
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string path = tempPath("vtsupport-test-", "");
#ifdef _WIN32
        if (_mkdir(path.c_str()) == 0) {
#else
        if (mkdir(path.c_str(), 0700) == 0) {
#endif
            its_path = path;
            return;
        }
    }
    throw std::runtime_error("cannot create a scratch directory");
}

ScratchDir::~ScratchDir() {
#ifdef _WIN32
    std::string command = "RMDIR /S /Q \"" + its_path + "\"";
#else
    std::string command = "rm -rf '" + its_path + "'";
#endif
    if (std::system(command.c_str()) != 0)
        std::cerr << "could not remove " << its_path << '\n';
}

std::string ScratchDir::file(const std::string& name) const {
    return its_path + separator + name;
}

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

CoutCapture::CoutCapture() {
    std::cout.flush();
    its_format.copyfmt(std::cout);
    its_saved = std::cout.rdbuf(&its_recorder);
}

CoutCapture::~CoutCapture() {
    std::cout.rdbuf(its_saved);
    std::cout.copyfmt(its_format);
}

std::string CoutCapture::text() const {
    return its_recorder.text();
}

std::vector<std::size_t> CoutCapture::flushes() const {
    return its_recorder.flushes();
}

std::string CoutCapture::Recorder::text() const {
    std::lock_guard<std::mutex> hold(its_lock);
    return its_text;
}

std::vector<std::size_t> CoutCapture::Recorder::flushes() const {
    std::lock_guard<std::mutex> hold(its_lock);
    return its_flushes;
}

CoutCapture::Recorder::int_type CoutCapture::Recorder::overflow(int_type the_char) {
    if (traits_type::eq_int_type(the_char, traits_type::eof()))
        return traits_type::not_eof(the_char);
    std::lock_guard<std::mutex> hold(its_lock);
    its_text += traits_type::to_char_type(the_char);
    return the_char;
}

std::streamsize CoutCapture::Recorder::xsputn(const char* the_text, std::streamsize the_count) {
    std::lock_guard<std::mutex> hold(its_lock);
    its_text.append(the_text, static_cast<std::size_t>(the_count));
    return the_count;
}

int CoutCapture::Recorder::sync() {
    std::lock_guard<std::mutex> hold(its_lock);
    its_flushes.push_back(its_text.size());
    return 0;
}

StdoutCapture::StdoutCapture() {
    its_file = tempPath("vtsupport-stdout-", ".txt");
    std::cout.flush();
    std::fflush(stdout);
    its_stream = std::fopen(its_file.c_str(), "wb");
    if (its_stream == nullptr)
        throw std::runtime_error("cannot create " + its_file);
    its_saved_fd = dup(1);
    dup2(fileno(its_stream), 1);
}

StdoutCapture::~StdoutCapture() {
    std::cout.flush();
    std::fflush(stdout);
    dup2(its_saved_fd, 1);
    close(its_saved_fd);
    std::fclose(its_stream);
    std::remove(its_file.c_str());
}

std::string StdoutCapture::text() {
    std::cout.flush();
    std::fflush(stdout);
    return readWholeFile(its_file);
}

} // namespace vttest
