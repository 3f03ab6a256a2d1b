// A program that the file and process tests start: it exits with a given status,
// writes to both output streams (and fails) or one mebibyte, records its
// arguments, or runs until a stop file appears.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "exit" && argc > 2)
        return std::atoi(argv[2]);
    if (mode == "both") {
        std::fputs("to stdout\n", stdout);
        std::fflush(stdout);
        std::fputs("to stderr\n", stderr);
        return 7;
    }
    if (mode == "mebibyte") { // 1024 lines of 1023 letters and a line end
        for (int line = 0; line < 1024; ++line)
            std::printf("%s\n", std::string(1023, static_cast<char>('a' + line % 26)).c_str());
        return 0;
    }
    if (mode == "args" && argc > 2) { // each further argument on a line of its own, in brackets
        std::ofstream record(argv[2], std::ios::binary);
        for (int i = 3; i < argc; ++i)
            record << '[' << argv[i] << "]\n";
        return record ? 0 : 1;
    }
    if (mode == "wait-for" && argc > 2) { // leaves STOP.started, then STOP.done when it ends
        const std::string stop = argv[2];
        std::ofstream(stop + ".started").flush();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!std::ifstream(stop) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ofstream(stop + ".done").flush();
        return 0;
    }
    return 2; // an unknown mode
}
