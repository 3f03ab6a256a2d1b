// The path-string operations of FileUtils on any text, with the separator of the
// system the fuzzing runs on (Linux: '/'). Each operation must keep the promises
// that callers build on:
// - normalizePath leaves no separator run, changes nothing else, and is idempotent;
// - dirName and baseName are the parts before and after the last separator and put
//   together again give the path; stripTrailingBackslash drops at most that one;
// - splitExtension's two parts give the name, the extension being empty or one dot
//   and what follows the last dot;
// - quote escapes whole, with a backslash before each $, backquote, backslash and
//   double quote, every text holding one of the first three, and otherwise wraps
//   exactly the texts that are not empty and do not begin with a quote;
// - removeWhitespace drops the four blank characters and nothing else.
// When the first byte's low bit is set, the text is also used as a file name in a
// scratch directory holding that name's first few numbered variants (and a
// directory after them), and uniqueFileName must return the first free one.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

#include "vtsupport/files/FileUtils.h"

namespace {

void check(bool holds) {
    if (!holds)
        std::abort();
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string without(const std::string& text, char dropped) {
    std::string kept;
    for (char c : text) {
        if (c != dropped)
            kept += c;
    }
    return kept;
}

void checkQuote(const std::string& text) {
    const std::string quoted = FileUtils::quote(text);
    // One quoted word already: a quote at each end, nothing the shell reads specially between.
    const bool oneWord =
        text.size() >= 2 && text.front() == '"' && text.back() == '"' &&
        text.substr(1, text.size() - 2).find_first_of("\"$`\\") == std::string::npos;
    if (oneWord || text.find_first_of("\"$`\\") == std::string::npos) {
        check(quoted == (text.empty() || text[0] == '"' ? text : "\"" + text + "\""));
        return;
    }
    std::string escaped = "\"";
    for (char c : text) {
        if (c == '"' || c == '$' || c == '`' || c == '\\')
            escaped += '\\';
        escaped += c;
    }
    check(quoted == escaped + "\"");
}

void checkStrings(const std::string& text) {
    const std::string normal = FileUtils::normalizePath(text);
    check(normal.find("//") == std::string::npos);
    check(without(normal, '/') == without(text, '/'));
    check(normal.empty() == text.empty());
    check(text.empty() || (normal.front() == '/') == (text.front() == '/'));
    check(text.empty() || (normal.back() == '/') == (text.back() == '/'));
    check(FileUtils::normalizePath(normal) == normal);

    const std::string base = FileUtils::baseName(text);
    const std::string dir = FileUtils::dirName(text);
    check(base.find('/') == std::string::npos);
    if (text.find('/') == std::string::npos)
        check(base == text && dir.empty());
    else
        check(dir + "/" + base == text);

    const std::string stripped = FileUtils::stripTrailingBackslash(text);
    check(stripped ==
          (!text.empty() && text.back() == '/' ? text.substr(0, text.size() - 1) : text));

    const std::pair<std::string, std::string> parts = FileUtils::splitExtension(text);
    check(parts.first + parts.second == text);
    if (parts.second.empty())
        check(text.find('.') == std::string::npos);
    else
        check(parts.second[0] == '.' && parts.second.find('.', 1) == std::string::npos);

    checkQuote(text);

    const std::string compact = FileUtils::removeWhitespace(text);
    std::string expected;
    for (char c : text) {
        if (!isBlank(c))
            expected += c;
    }
    check(compact == expected);
}

// A directory of this process, removed at exit (it is empty between inputs).
const char* scratchDirectory() {
    static char path[] = "/tmp/vt-fuzz-paths.XXXXXX";
    static const bool made = [] {
        if (::mkdtemp(path) == nullptr)
            std::abort();
        std::atexit([] { ::rmdir(path); });
        return true;
    }();
    (void)made;
    return path;
}

void checkUniqueName(const std::string& name, int taken) {
    if (name.empty() || name.size() > 100 || name.find('/') != std::string::npos ||
        name.find('\0') != std::string::npos)
        return;
    const std::string dir = std::string(scratchDirectory()) + "/";
    const std::pair<std::string, std::string> parts = FileUtils::splitExtension(name);
    auto variant = [&](int n) {
        return dir + parts.first + "_" + std::to_string(n) + parts.second;
    };
    for (int n = 1; n <= taken; ++n)
        FileUtils::writeFile("", variant(n));
    check(::mkdir(variant(taken + 1).c_str(), 0755) == 0); // a directory does not take a name
    check(FileUtils::uniqueFileName(dir + name) == variant(taken + 1));
    ::rmdir(variant(taken + 1).c_str());
    for (int n = 1; n <= taken; ++n)
        check(FileUtils::removeFile(variant(n)) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    checkStrings(text);
    if ((data[0] & 1) != 0)
        checkUniqueName(text, (data[0] >> 1) & 3);
    return 0;
}
