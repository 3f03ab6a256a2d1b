// The interpreter's file commands behind FileUtils: copying, renaming and
// removing a tree. Windows runs its interpreter's own words ("copy ", "ren ",
// "RMDIR /S /Q ") through system(). Elsewhere the matching program runs from an
// argument vector, never through a shell, so no character of a path can start a
// command: the arguments are split the way callers quote them for Windows.
#pragma once

#include <string>

namespace vtsupport {
namespace detail {

// Each answers the command's exit status, or -1 when it could not be started.
// `from` and `to` are argument text as the caller wrote it (quoted where needed).
int copyByCommand(const std::string& from, const std::string& to);
int renameByCommand(const std::string& from, const std::string& to);
// `dir` names one existing directory, unquoted.
int removeTreeByCommand(const std::string& dir);

// The characters that the platform's interpreter still expands inside double
// quotes, each of which a backslash makes literal there; empty where quoting
// offers no such escape (Windows, where % expands inside quotes too).
const char* expandedInQuotes();

} // namespace detail
} // namespace vtsupport
