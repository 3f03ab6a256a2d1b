// Helpers shared by the test programs.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/platform/TestPlatform.h"
#include "vtsupport/files/FileUtils.h"

namespace vttest {
// Sets a variable (or, given null, removes it) and restores its earlier state on destruction.
class ScopedEnv {
public:
    ScopedEnv(const std::string& name, const char* value)
        : its_name(name), its_had(std::getenv(name.c_str()) != nullptr),
          its_old(its_had ? std::getenv(name.c_str()) : "") {
        setEnv(name, value);
    }
    ~ScopedEnv() { setEnv(its_name, its_had ? its_old.c_str() : nullptr); }

private:
    const std::string its_name;
    const bool its_had;
    const std::string its_old;
};
// A fresh directory in the temporary directory, removed with its contents on destruction.
class ScratchDir {
public:
    ScratchDir() {
        for (int attempt = 0; attempt < 100 && its_path.empty(); ++attempt) {
            const std::string name = FileUtils::tempFileName(); // free, not yet reserved
            its_path = FileUtils::makeDirectory(name, 0700) ? name : "";
        }
        if (its_path.empty())
            throw std::runtime_error("cannot create a scratch directory");
    }
    // Removed the way the library removes a tree: std::filesystem on Windows
    // follows links that Wine cannot remove and then loops on them.
    ~ScratchDir() { FileUtils::removeDirectoryTree(its_path); }
    const std::string& path() const { return its_path; }
    // path() and `name` joined by the native separator.
    std::string file(const std::string& name) const {
        return (std::filesystem::path(its_path) / name).string();
    }

private:
    std::string its_path;
};
// Exact bytes, whatever text mode would make of them; a missing file reads as "".
inline std::string readBytes(const std::string& path) {
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();
    return content.str();
}
inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
// Puts a recording buffer under std::cout for its lifetime, the way a program
// collects what the library traces, then restores the buffer and the formatting
// state. str() is all that was written, flushes() its length at each flush.
class CoutCapture : public std::stringbuf {
public:
    CoutCapture() : its_saved(std::cout.flush().rdbuf(this)) { its_format.copyfmt(std::cout); }
    ~CoutCapture() override {
        std::cout.rdbuf(its_saved);
        std::cout.copyfmt(its_format);
    }
    const std::vector<std::size_t>& flushes() const { return its_flushes; }

private:
    int sync() override {
        its_flushes.push_back(str().size());
        return 0;
    }
    std::streambuf* its_saved;
    std::ios its_format{nullptr};
    std::vector<std::size_t> its_flushes;
};
// The std::string that `action` throws, as the networking classes report errors;
// "(nothing thrown)" when it returns.
inline std::string thrownText(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::string& text) {
        return text;
    }
    return "(nothing thrown)";
}
} // namespace vttest
