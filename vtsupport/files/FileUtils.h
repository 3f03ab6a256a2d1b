// FileUtils: stateless file, directory and path-string operations.
// Every operation is static and reports its outcome in its result only (true/false,
// 0/-1 or 1/0 as documented per operation); nothing throws on a failed file-system
// call and nothing is retried. Paths use the platform's separator (the backslash on
// Windows, where the forward slash is also accepted by the operations that say so).
// Each file, stream and search handle is closed before an operation returns.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "vtsupport/Export.h"

class VTSUPPORT_API FileUtils {
public:
    FileUtils() = default;
    virtual ~FileUtils();

    // Kind tests; false whenever the status query fails.
    static bool isFile(const std::string& path);
    // Accepts one trailing separator.
    static bool isDirectory(const std::string& dir);
    // Probes by creating and deleting "veltraneTest.txt" in `dir`.
    static bool isWritableDirectory(const std::string& dir);

    // Creates one directory whose parent exists; `mode` applies where the platform takes one.
    static bool makeDirectory(const std::string& path, int mode);
    // 0 on success, -1 on failure.
    static int removeFile(const std::string& path);
    // Deletes the file only when it exists with size 0; 0 when nothing had to be done.
    static int removeIfEmpty(const std::string& path);
    // Through the command interpreter; false when `dir` is no directory or no
    // interpreter could be started (the removal's own status is not examined).
    static bool removeDirectoryTree(const std::string& dir);
    // Through the C runtime's rename: 1 on success, 0 on failure.
    static int renameFile(const std::string& from, const std::string& to);
    // Through the command interpreter: 0 on success, -1 on failure. Arguments are
    // inserted as given, so paths with blanks must come quoted (see quote).
    static int renameByCommand(const std::string& from, const std::string& to);
    static int copyFile(const std::string& from, const std::string& to);

    // Writes `text` in text mode (created or truncated); true even when the file
    // cannot be opened.
    static bool writeFile(const std::string& text, const std::string& path);
    // Appends the file's lines to `lines`; a file that cannot be opened adds nothing,
    // and reading stops before the first line of 1024 or more characters.
    static void readLines(std::vector<std::string>& lines, const std::string& path);
    // The lines, each followed by "\n".
    static std::string readFile(const std::string& path);
    // The last `count` lines, each followed by "\n".
    static std::string tailLines(const std::string& path, int count);
    // Names matching the wildcard pattern, each behind the pattern's directory part;
    // false when nothing matches or the enumeration ends early.
    static bool listFiles(const char* pattern, std::vector<std::string>& names);

    // A name with the prefix "vttmp" that no file has yet (nothing is created);
    // empty when none can be made.
    static std::string tempFileName();
    // The first stem_N.ext (N = 1, 2, ...) that is not a regular file.
    static std::string uniqueFileName(std::string path);
    // The directory of the running program's executable.
    static std::string programDirectory();

    static std::string baseName(const std::string& path);
    static std::string dirName(const std::string& path);
    static std::pair<std::string, std::string> splitExtension(const std::string& name);
    static std::string normalizePath(const std::string& path);
    static std::string stripTrailingBackslash(const std::string& path);
    static std::string quote(const std::string& text);
    static std::string removeWhitespace(const std::string& text);
};
