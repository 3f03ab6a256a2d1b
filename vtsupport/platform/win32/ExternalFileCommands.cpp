#include "vtsupport/platform/detail/ExternalFileCommands.h"

#include <stdlib.h>
#include <windows.h>

#include <memory>
#include <vector>

namespace vtsupport {
namespace detail {

namespace {

int runSystemCommand(const std::string& commandLine) {
    return ::system(commandLine.c_str());
}

struct SearchCloser {
    void operator()(HANDLE search) const { ::FindClose(search); }
};

// `dir` in the form that reaches every entry below it: absolute, in wide
// characters, with the prefix that lifts the length limit and the name rules
// (so that no name is read as a device or trimmed on the way down), without
// trailing separators. The last name is resolved the way the status query
// resolved it, so the directory removed is the one that query found.
std::wstring extendedPath(const std::string& dir) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, dir.c_str(), -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, dir.c_str(), -1, &wide[0], length);
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return std::wstring();
    std::wstring full(needed, L'\0');
    full.resize(::GetFullPathNameW(wide.c_str(), needed, &full[0], nullptr));
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    if (full.compare(0, 4, L"\\\\?\\") == 0 || full.compare(0, 4, L"\\\\.\\") == 0)
        return full;
    if (full.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

bool isLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// True when `path`, opened without following it, is the reparse point itself.
// Systems that only list an entry as one but open what lies behind it (Wine)
// answer false, so the removal below never reaches the target.
bool opensAsLink(const std::wstring& path) {
    const HANDLE handle = ::CreateFileW(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool link = ::GetFileInformationByHandle(handle, &info) && isLink(info.dwFileAttributes);
    ::CloseHandle(handle);
    return link;
}

// Removes one entry that is not walked into: a file, or a link or junction of
// either kind, which goes as a link. A read-only mark does not keep it.
void removeEntry(const std::wstring& path, DWORD attributes) {
    if (isLink(attributes) && !opensAsLink(path))
        return;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0)
        ::SetFileAttributesW(path.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        ::RemoveDirectoryW(path.c_str());
    else
        ::DeleteFileW(path.c_str());
}

} // namespace

int copyByCommand(const std::string& from, const std::string& to) {
    return runSystemCommand("copy " + from + " " + to);
}

int renameByCommand(const std::string& from, const std::string& to) {
    return runSystemCommand("ren " + from + " " + to);
}

bool removeTree(const std::string& dir) {
    // What RMDIR /S /Q does, done here: the interpreter would read blanks, & ^ %
    // , ; = ( ) ! in the name, and it follows links inside the tree.
    const std::wstring root = extendedPath(dir);
    const DWORD rootAttributes =
        root.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(root.c_str());
    if (rootAttributes == INVALID_FILE_ATTRIBUTES)
        return true;
    if (isLink(rootAttributes)) {
        removeEntry(root, rootAttributes);
        return true;
    }
    // Depth first without recursion: a directory is removed when the walk comes
    // back to it, after everything below it.
    struct Pending {
        std::wstring path;
        DWORD attributes;
        bool listed;
    };
    std::vector<Pending> pending{{root, rootAttributes, false}};
    while (!pending.empty()) {
        if (pending.back().listed) {
            removeEntry(pending.back().path, pending.back().attributes);
            pending.pop_back();
            continue;
        }
        pending.back().listed = true;
        const std::wstring parent = pending.back().path;
        WIN32_FIND_DATAW found;
        const HANDLE handle = ::FindFirstFileW((parent + L"\\*").c_str(), &found);
        if (handle == INVALID_HANDLE_VALUE)
            continue;
        const std::unique_ptr<void, SearchCloser> search(handle);
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = parent + L"\\" + name;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                !isLink(found.dwFileAttributes))
                pending.push_back({path, found.dwFileAttributes, false});
            else
                removeEntry(path, found.dwFileAttributes);
        } while (::FindNextFileW(search.get(), &found));
    }
    return true;
}

} // namespace detail
} // namespace vtsupport
