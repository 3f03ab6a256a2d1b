#include "support/Support.h"

#include <condition_variable>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
namespace vttest {
ScratchDir::ScratchDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && its_path.empty(); ++attempt) {
        const fs::path dir =
            fs::temp_directory_path() / ("vtsupport-test-" + std::to_string(random()));
        if (fs::create_directory(dir))
            its_path = dir.string();
    }
    if (its_path.empty())
        throw std::runtime_error("cannot create a scratch directory");
}
ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(its_path, ignored);
}
std::string ScratchDir::file(const std::string& name) const {
    return its_path + static_cast<char>(fs::path::preferred_separator) + name;
}
StdoutCapture::StdoutCapture() {
    std::cout.flush();
    std::fflush(stdout);
    its_file = std::fopen(its_dir.file("stdout.txt").c_str(), "wb");
    if (its_file == nullptr)
        throw std::runtime_error("cannot capture standard output");
    its_saved = redirectStdout(its_file);
}
StdoutCapture::~StdoutCapture() {
    text();
    restoreStdout(its_saved);
    std::fclose(its_file);
}
std::string StdoutCapture::text() {
    std::cout.flush();
    std::fflush(stdout);
    return readBytes(its_dir.file("stdout.txt"));
}
void onThreadsAtOnce(int count, const std::function<void(int)>& body) {
    std::mutex mutex;
    std::condition_variable changed;
    int waiting = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            {
                std::unique_lock<std::mutex> lock(mutex);
                ++waiting;
                changed.notify_all();
                changed.wait(lock, [&] { return waiting == count; });
            }
            body(i);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
}
} // namespace vttest
