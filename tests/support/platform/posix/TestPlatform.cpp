#include "support/platform/TestPlatform.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace vttest {
const bool onWindows = false;
void setEnv(const std::string& name, const char* value) {
    if (value != nullptr)
        ::setenv(name.c_str(), value, 1);
    else
        ::unsetenv(name.c_str());
}
bool runningUnderWine() {
    return false;
}
bool makeDirectoryLink(const std::string& target, const std::string& link) {
    return ::symlink(target.c_str(), link.c_str()) == 0;
}
void removeDirectoryLink(const std::string& link) {
    ::unlink(link.c_str());
}
long openHandleCount() {
    const std::filesystem::directory_iterator entries("/proc/self/fd");
    return static_cast<long>(std::distance(begin(entries), end(entries)));
}
bool makeInheritablePipe(int ends[2]) {
    return ::pipe(ends) == 0;
}
void closeDescriptor(int descriptor) {
    ::close(descriptor);
}
bool inheritable(std::intptr_t handle) {
    return (::fcntl(static_cast<int>(handle), F_GETFD) & FD_CLOEXEC) == 0;
}
namespace {
rlimit savedLimit;
} // namespace
int copyAboveDescriptorLimit(int descriptor) {
    const int high = 900;
    ::getrlimit(RLIMIT_NOFILE, &savedLimit);
    ::dup2(descriptor, high);
    rlimit lowered = savedLimit;
    lowered.rlim_cur = 64;
    lowered.rlim_max = ::geteuid() == 0 ? high : lowered.rlim_max; // the highest allowed, if root
    ::setrlimit(RLIMIT_NOFILE, &lowered);
    return high;
}
void restoreDescriptorLimit() {
    ::setrlimit(RLIMIT_NOFILE, &savedLimit);
}
bool refuseBulkClose() {
    sock_filter filter[] = {BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
                            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_close_range, 0, 1),
                            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
                            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW)};
    sock_fprog program = {sizeof filter / sizeof filter[0], filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}
bool withoutStandardInput(const std::function<void()>& action) {
    const int saved = ::fcntl(0, F_DUPFD_CLOEXEC, 100);
    ::close(0);
    action();
    ::dup2(saved, 0);
    ::close(saved);
    return true;
}
bool withoutFreeDescriptors(const std::function<void()>& action) {
    rlimit saved;
    ::getrlimit(RLIMIT_NOFILE, &saved);
    const int lowestFree = ::fcntl(0, F_DUPFD, 0); // then every one below is in use
    ::close(lowestFree);
    rlimit lowered = saved;
    lowered.rlim_cur = static_cast<rlim_t>(lowestFree);
    ::setrlimit(RLIMIT_NOFILE, &lowered);
    action();
    ::setrlimit(RLIMIT_NOFILE, &saved);
    return true;
}
bool readsEndOfFile(int readEnd) {
    char byte;
    return ::read(readEnd, &byte, 1) == 0;
}
bool unwaitedChildAppears(int seconds) {
    for (int turn = 0; turn < seconds * 200; ++turn) {
        const pid_t child = ::waitpid(-1, nullptr, WNOHANG);
        if (child != 0)
            return child > 0 || errno != ECHILD;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
bool interruptAfter(int milliseconds, bool alsoChildren) {
    struct sigaction action = {};
    action.sa_handler = [](int) {};
    ::sigaction(SIGALRM, &action, nullptr);
    const pthread_t target = ::pthread_self();
    const std::string children = "/proc/self/task/" + std::to_string(::gettid()) + "/children";
    std::thread([=] {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        ::pthread_kill(target, SIGALRM);
        std::ifstream list(alsoChildren ? children : "");
        for (pid_t child; list >> child;)
            ::kill(child, SIGALRM);
    }).detach();
    return true;
}
namespace {
char terminationRecord[4096];
struct sigaction savedTermination;
// Async-signal-safe: the id in decimal, by hand.
void recordAndEnd(int) {
    char text[24];
    char* start = text + sizeof text;
    *--start = '\n';
    for (long id = ::getpid(); id > 0; id /= 10)
        *--start = static_cast<char>('0' + id % 10);
    const int record = ::open(terminationRecord, O_WRONLY | O_CREAT | O_APPEND, 0600);
    const ssize_t ignored = ::write(record, start, static_cast<size_t>(text + sizeof text - start));
    (void)ignored;
    ::_exit(1);
}
} // namespace
bool recordTerminations(const std::string& record) {
    if (record.size() >= sizeof terminationRecord)
        return false;
    record.copy(terminationRecord, record.size());
    terminationRecord[record.size()] = '\0';
    struct sigaction action = {};
    action.sa_handler = recordAndEnd;
    return ::sigaction(SIGTERM, &action, &savedTermination) == 0;
}
void restoreTermination() {
    ::sigaction(SIGTERM, &savedTermination, nullptr);
}
bool terminateChildren() {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream list(task.path() / "children");
        for (pid_t child; list >> child;)
            ::kill(child, SIGTERM);
    }
    return true;
}
std::string processorVendor() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    for (std::string line; std::getline(cpuinfo, line);)
        if (line.compare(0, 9, "vendor_id") == 0)
            return line.substr(line.find(':') + 2);
    return "";
}
} // namespace vttest
