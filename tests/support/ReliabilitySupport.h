// Helpers of the reliability tests: threads that start together, and a small
// volume that can be filled up or made read-only.
#pragma once

#include <functional>
#include <string>

namespace vttest {

// Runs body(0) ... body(count - 1) on `count` threads of their own, released
// together once all have started, and waits for all of them.
void onThreadsAtOnce(int count, const std::function<void(int)>& body);

// A tmpfs volume mounted for the object's lifetime on a fresh directory under
// `parent` (Linux, as root). Where it cannot be mounted, mounted() is false and
// reason() says why.
class SmallVolume {
public:
    // `options` as mount(8) takes them, for example "size=64k,nr_inodes=16".
    SmallVolume(const std::string& parent, const std::string& options);
    ~SmallVolume();
    SmallVolume(const SmallVolume&) = delete;
    SmallVolume& operator=(const SmallVolume&) = delete;

    bool mounted() const { return its_mounted; }
    const std::string& reason() const { return its_reason; }
    const std::string& path() const { return its_path; }
    // Mounts it again, read-only; false when that fails.
    bool makeReadOnly();

private:
    std::string its_path;
    std::string its_options;
    std::string its_reason;
    bool its_mounted = false;
};

} // namespace vttest
