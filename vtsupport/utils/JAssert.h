/// @file
/// JAssert(expression): an invariant check compiled into every build and
/// dormant until the environment switches it on.
///
/// "JASSERT" starting with "ON" activates it; "JASSERT_FILELIST", when set and
/// non-empty, limits it to the source files whose names begin comma-separated
/// entries. A dormant site does not evaluate its expression; an active one that
/// finds it false writes one line to standard error and aborts. A site's file
/// name is the base name of its source file without directories and extension
/// ("SimpleDOM"), fixed at compile time. Header only: it works in any file that
/// includes it, the library's or the caller's.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vtsupport {
namespace detail {

// The site name kept in a fixed array so it can be a compile-time constant.
template <std::size_t N>
struct SiteName {
    char text[N];
};

template <std::size_t N>
constexpr SiteName<N> siteName(const char (&path)[N]) {
    std::size_t begin = 0;
    std::size_t end = N - 1;
    for (std::size_t i = 0; i + 1 < N; ++i) {
        if (path[i] == '/' || path[i] == '\\')
            begin = i + 1;
    }
    for (std::size_t i = begin; i + 1 < N; ++i) {
        if (path[i] == '.')
            end = i;
    }
    if (end < begin)
        end = N - 1;
    SiteName<N> name{};
    for (std::size_t i = begin; i < end; ++i)
        name.text[i - begin] = path[i];
    return name;
}

} // namespace detail
} // namespace vtsupport

/// Answers 1 when assertions are active for the source file named `file`
/// (base name without extension), else 0. Reads "JASSERT" and
/// "JASSERT_FILELIST" anew at every call. Internal linkage on purpose: every
/// file that asserts carries its own copy.
static inline int JAssertEnabled(const char* file) {
    const char* active = std::getenv("JASSERT");
    if (active == nullptr || std::strncmp(active, "ON", 2) != 0)
        return 0;
    const char* list = std::getenv("JASSERT_FILELIST");
    if (list == nullptr || *list == '\0')
        return 1;

    const std::size_t length = std::strlen(list);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy == nullptr)
        return 0;
    std::memcpy(copy, list, length + 1);

    // Split at commas like strtok with ",", but with state private to this call.
    const std::size_t fileLength = std::strlen(file);
    int enabled = 0;
    char* cursor = copy;
    while (*cursor != '\0') {
        while (*cursor == ',')
            ++cursor;
        if (*cursor == '\0')
            break;
        char* entry = cursor;
        while (*cursor != '\0' && *cursor != ',')
            ++cursor;
        if (*cursor == ',')
            *cursor++ = '\0';
        // A shorter entry differs at its terminating zero, so it never matches.
        if (std::strncmp(entry, file, fileLength) == 0) {
            enabled = 1;
            break;
        }
    }
    std::free(copy);
    return enabled;
}

// The check itself, for a site named `site` (a constant character array) at
// `line`; JAssert supplies the source file's name and the line it stands on.
#define VTSUPPORT_DETAIL_JASSERT(expression, text, site, line)                                     \
    do {                                                                                           \
        if (JAssertEnabled(site)) {                                                                \
            const bool vtJAssertHolds_ = (expression) ? true : false;                              \
            if (!vtJAssertHolds_) {                                                                \
                std::fprintf(stderr, "JAssert '%s' failed. value: %d, file: %s, line: %d\n", text, \
                             static_cast<int>(vtJAssertHolds_), site, static_cast<int>(line));     \
                std::fflush(stderr); /* abort flushes nothing, and stderr may be buffered */       \
                std::abort();                                                                      \
            }                                                                                      \
        }                                                                                          \
    } while (false)

/// Checks `expression` where assertions are active for this source file (see
/// JAssertEnabled): when it is false, writes
/// "JAssert '<expression>' failed. value: 0, file: <name>, line: <line>" and a
/// newline to standard error and aborts. Where they are dormant the expression
/// is not evaluated.
/// @code
/// JAssert(index < size);   // JASSERT=ON JASSERT_FILELIST=Reader ./app
/// @endcode
#define JAssert(expression)                                                                        \
    do {                                                                                           \
        static constexpr auto vtJAssertSite_ = ::vtsupport::detail::siteName(__FILE__);            \
        VTSUPPORT_DETAIL_JASSERT(expression, #expression, vtJAssertSite_.text, __LINE__);          \
    } while (false)
