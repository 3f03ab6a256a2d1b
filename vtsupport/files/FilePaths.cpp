// The path-string operations and the names FileUtils makes up. Only the
// separators come from the platform; everything else is plain string work.
#include "vtsupport/files/FileUtils.h"

#include "vtsupport/files/detail/CommandLine.h"
#include "vtsupport/platform/detail/FileSystem.h"

namespace detail = vtsupport::detail;

std::string FileUtils::baseName(const std::string& path) {
    // The alternative separator wins: after it, a native one is part of the name.
    std::string::size_type cut = path.rfind(detail::alternativePathSeparator());
    if (cut == std::string::npos)
        cut = path.rfind(detail::pathSeparator());
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string FileUtils::dirName(const std::string& path) {
    const std::string::size_type cut = path.rfind(detail::pathSeparator());
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::pair<std::string, std::string> FileUtils::splitExtension(const std::string& name) {
    const std::string::size_type dot = name.rfind('.');
    if (dot == std::string::npos)
        return {name, std::string()};
    return {name.substr(0, dot), name.substr(dot)};
}

std::string FileUtils::normalizePath(const std::string& path) {
    const char separator = detail::pathSeparator();
    const char alternative = detail::alternativePathSeparator();
    std::string result;
    result.reserve(path.size());
    for (char c : path) {
        if (c == alternative)
            c = separator;
        if (c == separator && !result.empty() && result.back() == separator)
            continue;
        result += c;
    }
    return result;
}

std::string FileUtils::stripTrailingBackslash(const std::string& path) {
    if (!path.empty() && path.back() == detail::pathSeparator())
        return path.substr(0, path.size() - 1);
    return path;
}

std::string FileUtils::quote(const std::string& text) {
    // Where the interpreter expands characters inside double quotes, a file name may also hold a
    // double quote: a text holding either is escaped whole, so that it reads back as exactly these
    // characters, unless it is one quoted word already, which stays as it is (as on Windows).
    const std::string special = detail::escapedInDoubleQuotes(detail::nativeInterpreterSyntax());
    if (!special.empty()) {
        const bool quotedWord = text.size() >= 2 && text.front() == '"' && text.back() == '"' &&
                                text.find_first_of(special, 1) == text.size() - 1;
        if (!quotedWord && text.find_first_of(special) != std::string::npos) {
            std::string escaped = "\"";
            for (char c : text) {
                if (special.find(c) != std::string::npos)
                    escaped += '\\';
                escaped += c;
            }
            return escaped + '"';
        }
    }
    if (text.empty() || text.front() == '"')
        return text;
    return '"' + text + '"';
}

std::string FileUtils::removeWhitespace(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c != '\t' && c != '\r' && c != '\n' && c != ' ')
            result += c;
    }
    return result;
}

std::string FileUtils::uniqueFileName(std::string path) {
    // The directory comes from dirName, so a part written with the alternative
    // separator is dropped, as baseName keeps only what follows it.
    const std::pair<std::string, std::string> parts = splitExtension(baseName(path));
    std::string directory = dirName(path);
    if (!directory.empty())
        directory += detail::pathSeparator();
    for (unsigned long long counter = 1;; ++counter) {
        std::string candidate =
            directory + parts.first + "_" + std::to_string(counter) + parts.second;
        if (!isFile(candidate))
            return candidate;
    }
}

std::string FileUtils::tempFileName() {
    return detail::temporaryFileName("vttmp");
}

std::string FileUtils::programDirectory() {
    const std::string program = detail::programPath();
    const std::string::size_type cut = program.rfind(detail::pathSeparator());
    return cut == std::string::npos ? program : program.substr(0, cut);
}
