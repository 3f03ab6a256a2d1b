#include "Messages.h"

#include <iostream>
#include <mutex>

namespace vtkit {

void appendVisible(std::string& out, const std::string& text, bool backslashes) {
    for (unsigned char c : text) {
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\\':
            out += backslashes ? "\\\\" : "\\";
            break;
        default:
            if (c < 0x20 || c == 0x7f) {
                const char* digits = "0123456789abcdef";
                out += "\\x";
                out += digits[c >> 4];
                out += digits[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
}

void printMessage(const std::string& reason) {
    static std::mutex writing;
    std::string line = "vtkit: ";
    appendVisible(line, reason, false);
    line += '\n';
    const std::lock_guard<std::mutex> lock(writing);
    std::cerr.write(line.data(), static_cast<std::streamsize>(line.size()));
    std::cerr.flush();
}

} // namespace vtkit
