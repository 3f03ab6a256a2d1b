// Line-oriented reading and plain writing of text files.
#include "vtsupport/files/FileUtils.h"

#include <cstdio>
#include <fstream>

#include "vtsupport/platform/detail/FileSystem.h"

namespace {

// Longest line the reader delivers; a longer one ends the reading.
constexpr std::string::size_type maxLineLength = 1023;

enum class LineRead { Line, End, TooLong };

// Reads one line without its end. A carriage return before the line feed is
// dropped where text mode leaves it in place, before the length is judged, so
// both kinds of line end give the same lines on every system.
LineRead readLine(std::istream& in, std::string& line, bool dropCarriageReturn) {
    line.clear();
    std::streambuf& buffer = *in.rdbuf();
    for (;;) {
        const std::streambuf::int_type c = buffer.sbumpc();
        if (c == std::streambuf::traits_type::eof()) {
            if (line.empty())
                return LineRead::End;
            break;
        }
        if (c == '\n') {
            if (dropCarriageReturn && !line.empty() && line.back() == '\r')
                line.pop_back();
            break;
        }
        line += std::streambuf::traits_type::to_char_type(c);
        // One character more than the limit may still be a carriage return to drop.
        if (line.size() > maxLineLength + 1)
            return LineRead::TooLong;
    }
    return line.size() > maxLineLength ? LineRead::TooLong : LineRead::Line;
}

std::string joinLines(const std::vector<std::string>& lines, std::size_t first) {
    std::string text;
    for (std::size_t i = first; i < lines.size(); ++i) {
        text += lines[i];
        text += '\n';
    }
    return text;
}

} // namespace

bool FileUtils::writeFile(const std::string& text, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file != nullptr) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
    return true;
}

void FileUtils::readLines(std::vector<std::string>& lines, const std::string& path) {
    std::ifstream in(path);
    if (!in.good())
        return;
    const bool dropCarriageReturn = vtsupport::detail::textReadingKeepsCarriageReturns();
    std::string line;
    while (readLine(in, line, dropCarriageReturn) == LineRead::Line)
        lines.push_back(line);
}

std::string FileUtils::readFile(const std::string& path) {
    std::vector<std::string> lines;
    readLines(lines, path);
    return joinLines(lines, 0);
}

std::string FileUtils::tailLines(const std::string& path, int count) {
    std::vector<std::string> lines;
    readLines(lines, path);
    const long long n = static_cast<long long>(lines.size());
    // A count of 0 or less starts past the end; wide arithmetic keeps INT_MIN sane.
    const long long first = n > count ? n - count : 0;
    return first >= n ? std::string() : joinLines(lines, static_cast<std::size_t>(first));
}
