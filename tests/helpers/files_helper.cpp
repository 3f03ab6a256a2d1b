// A program that the file and process tests start: it exits with a given status,
// writes to both output streams, writes a large output, records its arguments,
// or keeps running until a stop file appears.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

bool exists(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    std::fclose(file);
    return true;
}

void touch(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file != nullptr)
        std::fclose(file);
}

// 1024 lines of 1023 characters: one mebibyte with the line ends.
void writeMebibyte() {
    std::string line(1023, ' ');
    for (int i = 0; i < 1024; ++i) {
        for (int j = 0; j < 1023; ++j)
            line[static_cast<std::size_t>(j)] = static_cast<char>('a' + (i + j) % 26);
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
    }
}

// Each argument after the file name on a line of its own, in brackets.
int recordArguments(int argc, char** argv) {
    std::FILE* file = std::fopen(argv[2], "wb");
    if (file == nullptr)
        return 1;
    for (int i = 3; i < argc; ++i)
        std::fprintf(file, "[%s]\n", argv[i]);
    std::fclose(file);
    return 0;
}

// Leaves `stop`.started behind, runs until `stop` exists (30 s at most), then
// leaves `stop`.done behind.
int waitFor(const std::string& stop) {
    touch(stop + ".started");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!exists(stop) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    touch(stop + ".done");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "exit" && argc > 2)
        return std::atoi(argv[2]);
    if (mode == "both") {
        std::fputs("to stdout\n", stdout);
        std::fflush(stdout);
        std::fputs("to stderr\n", stderr);
        return 0;
    }
    if (mode == "fail") {
        std::fputs("failing\n", stderr);
        return 7;
    }
    if (mode == "mebibyte") {
        writeMebibyte();
        return 0;
    }
    if (mode == "args" && argc > 2)
        return recordArguments(argc, argv);
    if (mode == "wait-for" && argc > 2)
        return waitFor(argv[2]);
    std::fputs("usage: files_helper exit N | both | fail | mebibyte | args FILE ... | "
               "wait-for FILE\n",
               stderr);
    return 2;
}
