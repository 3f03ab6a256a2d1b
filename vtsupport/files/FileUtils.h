/// @file
/// FileUtils: stateless file, directory and path-string operations.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "vtsupport/Export.h"

/// Stateless file, directory and path-string operations, all static.
///
/// Every operation reports its outcome in its result only (true/false, 0/-1 or
/// 1/0 as documented per operation); nothing throws on a failed file-system
/// call and nothing is retried. Paths use the platform's separator: the
/// backslash on Windows, where the forward slash is also accepted by the
/// operations that say so, and the slash elsewhere. Each file, stream and
/// search handle is closed before an operation returns.
/// @code
/// std::string dir = FileUtils::normalizePath(FileUtils::programDirectory() + "/logs");
/// if (!FileUtils::isDirectory(dir) && !FileUtils::makeDirectory(dir, 0755))
///     return;
/// @endcode
class VTSUPPORT_API FileUtils {
public:
    /// Nothing to construct: every operation is static.
    FileUtils() = default;
    /// Nothing to destroy.
    virtual ~FileUtils();

    /// True when `path` names a regular file; false whenever the status query fails.
    static bool isFile(const std::string& path);
    /// True when `dir`, less one trailing separator, names a directory.
    static bool isDirectory(const std::string& dir);
    /// True when `dir` is a directory in which the probe file "veltraneTest.txt"
    /// can be created (it is deleted again).
    static bool isWritableDirectory(const std::string& dir);

    /// Creates the one directory `path`, whose parent must exist; `mode`
    /// applies where the platform takes one. True on success.
    static bool makeDirectory(const std::string& path, int mode);
    /// Deletes the file: 0 on success, -1 on failure.
    static int removeFile(const std::string& path);
    /// Deletes the file only when it exists with size 0 (then 0 or -1 as
    /// removeFile); 0 when nothing had to be done.
    static int removeIfEmpty(const std::string& path);
    /// Removes `dir` with everything below it by an external command
    /// (`RMDIR /S /Q` on Windows, `rm -rf` elsewhere). False when `dir` is no
    /// directory or the command could not be started; the removal's own
    /// status is not examined.
    static bool removeDirectoryTree(const std::string& dir);
    /// Renames through the C runtime's `rename`: 1 on success, 0 on failure.
    static int renameFile(const std::string& from, const std::string& to);
    /// Renames by an external command (`ren`, which takes a bare new name, on
    /// Windows; `mv` elsewhere): 0 on success, -1 on failure. Arguments are
    /// inserted as given, so paths with blanks must come quoted (see quote).
    static int renameByCommand(const std::string& from, const std::string& to);
    /// Copies by an external command (`copy` on Windows, `cp` elsewhere): 0 on
    /// success, -1 on failure. Paths with blanks must come quoted (see quote).
    static int copyFile(const std::string& from, const std::string& to);

    /// Writes `text` to the file `path` in text mode (created or truncated);
    /// true even when the file cannot be opened.
    static bool writeFile(const std::string& text, const std::string& path);
    /// Appends the file's lines to `lines`, without line ends; a file that
    /// cannot be opened adds nothing, and reading stops before the first line
    /// of 1024 or more characters. A carriage return before a line end is dropped.
    static void readLines(std::vector<std::string>& lines, const std::string& path);
    /// The file's lines as readLines reads them, each followed by "\n".
    static std::string readFile(const std::string& path);
    /// The last `count` lines as readLines reads them, each followed by "\n".
    static std::string tailLines(const std::string& path, int count);
    /// Replaces the contents of `names` with the names matching the wildcard
    /// `pattern`, each behind the pattern's directory part; false when nothing
    /// matches or the enumeration ends early.
    static bool listFiles(const char* pattern, std::vector<std::string>& names);

    /// A name in the temporary directory with the prefix "vttmp" that no file
    /// has yet (nothing is created); empty when none can be made.
    static std::string tempFileName();
    /// The first stem_N.ext (N = 1, 2, ...) made from `path` that is not a
    /// regular file.
    static std::string uniqueFileName(std::string path);
    /// The directory of the running program's executable.
    static std::string programDirectory();

    /// The last component of `path`.
    static std::string baseName(const std::string& path);
    /// The part of `path` before its last separator.
    static std::string dirName(const std::string& path);
    /// Stem and extension of `name`, split at its last dot.
    static std::pair<std::string, std::string> splitExtension(const std::string& name);
    /// `path` with runs of separators collapsed to one; on Windows forward
    /// slashes become backslashes first.
    static std::string normalizePath(const std::string& path);
    /// `path` without one trailing separator (the native one, despite the name).
    static std::string stripTrailingBackslash(const std::string& path);
    /// `text` in double quotes, unless it is empty or already begins with a
    /// double quote; for command lines. On Linux a text with `$`, a backquote
    /// or a backslash is escaped so that `/bin/sh` reads back exactly its characters.
    static std::string quote(const std::string& text);
    /// `text` without any blank, tab, carriage return or line feed.
    static std::string removeWhitespace(const std::string& text);
};
