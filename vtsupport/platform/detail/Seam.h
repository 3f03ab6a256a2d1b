// A seam: an interface whose implementation embedders and tests may replace.
// The installed object is the caller's (not owned, never deleted); without one
// the native implementation answers. That one is made on first use and never
// destroyed, so the seam still works during static destruction. Installing is
// an atomic store, but swapping the object while another thread uses it is the
// caller's race to avoid.
#pragma once

#include <atomic>

namespace vtsupport {
namespace detail {

template <typename Interface, typename Native>
class Seam {
public:
    constexpr Seam() = default;
    Seam(const Seam&) = delete;
    Seam& operator=(const Seam&) = delete;

    Interface& current() {
        Interface* installed = its_installed.load();
        return installed != nullptr ? *installed : native();
    }
    // nullptr restores the native implementation.
    void install(Interface* replacement) { its_installed.store(replacement); }
    // The installed object; null while the native implementation answers.
    Interface* installed() const { return its_installed.load(); }

private:
    static Interface& native() {
        static Native* const made = new Native;
        return *made;
    }

    std::atomic<Interface*> its_installed{nullptr};
};

} // namespace detail
} // namespace vtsupport
