#include <iostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "vtsupport/files/FileUtils.h"

namespace vtkit {

namespace {

// listFiles answers false alike for a missing directory, one that cannot be
// read and a pattern that matches nothing; the directory itself tells them apart.
std::string whyNothingMatches(const std::string& pattern) {
    const std::string path = FileUtils::normalizePath(pattern);
    std::string directory = FileUtils::dirName(path);
    if (directory.empty())
        directory = path.find_first_of("/\\") == 0 ? path.substr(0, 1) : ".";
    if (FileUtils::isFile(directory))
        return directory + " is not a directory";
    if (!FileUtils::isDirectory(directory))
        return "cannot find the directory " + directory;
    // Every directory that can be read lists at least "." and "..".
    std::vector<std::string> names;
    if (!FileUtils::listFiles(FileUtils::normalizePath(directory + "/*").c_str(), names) &&
        names.empty())
        return "cannot read the directory " + directory;
    return "nothing matches " + pattern;
}

int list(const ParsedArgs& args) {
    const std::string& pattern = args.positionals[0];
    std::vector<std::string> names;
    const bool complete = FileUtils::listFiles(pattern.c_str(), names);
    for (const std::string& name : names)
        std::cout << name << '\n';
    if (!complete)
        throw Failure(kInput, names.empty() ? whyNothingMatches(pattern)
                                            : "the listing of " + pattern + " ended early");
    return kOk;
}

} // namespace

std::vector<Command> listingCommands() {
    return {{{"ls", {"PATTERN"}, {}, "files matching a wildcard pattern"}, list}};
}

// The program's own directory, listed through a wildcard pattern.
void listingTour() {
    const std::string pattern = FileUtils::normalizePath(FileUtils::programDirectory() + "/vtkit*");
    std::vector<std::string> names;
    std::cout << "ls " << pattern << '\n';
    if (!FileUtils::listFiles(pattern.c_str(), names))
        throw Failure(kInput, "nothing matches " + pattern);
    for (const std::string& name : names)
        std::cout << "  " << name << '\n';
}

} // namespace vtkit
