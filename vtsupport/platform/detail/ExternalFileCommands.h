// Copying, renaming and removing a tree behind FileUtils. Windows runs its
// interpreter's own words ("copy ", "ren ") through system() and removes a
// tree itself, as RMDIR /S /Q would, so that no character of the name reaches
// the interpreter. Elsewhere the matching program runs from an argument vector,
// never through a shell, so no character of a path can start a command: the
// arguments are split the way callers quote them for Windows.
#pragma once

#include <string>

namespace vtsupport {
namespace detail {

// Each answers the command's exit status, or -1 when it could not be started.
// `from` and `to` are argument text as the caller wrote it (quoted where needed).
int copyByCommand(const std::string& from, const std::string& to);
int renameByCommand(const std::string& from, const std::string& to);

// Removes the directory `dir` (unquoted, one or more trailing separators
// allowed) with everything below it. A link, given as `dir` or met inside the
// tree, is removed as a link and never followed. Entries that cannot be removed
// stay. False only when the removal could not be started at all.
bool removeTree(const std::string& dir);

} // namespace detail
} // namespace vtsupport
