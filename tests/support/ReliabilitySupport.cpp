#include "support/ReliabilitySupport.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <errno.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#endif

namespace vttest {

void onThreadsAtOnce(int count, const std::function<void(int)>& body) {
    std::mutex mutex;
    std::condition_variable changed;
    int waiting = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            {
                std::unique_lock<std::mutex> lock(mutex);
                ++waiting;
                changed.notify_all();
                changed.wait(lock, [&] { return waiting == count; });
            }
            body(i);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
}

#ifdef _WIN32
SmallVolume::SmallVolume(const std::string&, const std::string&)
    : its_reason("a volume of limited size needs a Linux tmpfs mount") {}

SmallVolume::~SmallVolume() = default;

bool SmallVolume::makeReadOnly() {
    return false;
}
#else
SmallVolume::SmallVolume(const std::string& parent, const std::string& options)
    : its_path(parent + "/volume"), its_options(options) {
    if (::geteuid() != 0) {
        its_reason = "mounting a tmpfs needs root";
        return;
    }
    if (::mkdir(its_path.c_str(), 0755) != 0 ||
        ::mount("tmpfs", its_path.c_str(), "tmpfs", 0, options.c_str()) != 0) {
        its_reason = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
        return;
    }
    its_mounted = true;
}

SmallVolume::~SmallVolume() {
    if (its_mounted)
        ::umount2(its_path.c_str(), MNT_DETACH);
}

bool SmallVolume::makeReadOnly() {
    return its_mounted && ::mount("tmpfs", its_path.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY,
                                  its_options.c_str()) == 0;
}
#endif

} // namespace vttest
