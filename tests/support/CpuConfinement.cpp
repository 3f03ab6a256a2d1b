#include "support/CpuConfinement.h"

#include <cstdlib>

#include "support/TestSupport.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <filesystem>
#endif

namespace vttest {

#ifdef _WIN32

bool confineProcessToFirstProcessor() {
    return ::SetProcessAffinityMask(::GetCurrentProcess(), 1) != 0;
}

bool runUnderTaskset(const std::string&, const std::string&, bool& available,
                     std::string& failure) {
    available = false;
    failure = "taskset exists only on Linux";
    return false;
}

#else

bool confineProcessToFirstProcessor() {
    return false;
}

bool runUnderTaskset(const std::string& testName, const std::string& marker, bool& available,
                     std::string& failure) {
    available = std::system("taskset -c 0 true >/dev/null 2>&1") == 0;
    if (!available) {
        failure = "taskset -c 0 cannot run here";
        return false;
    }
    ScratchDir scratch;
    const std::string output = scratch.file("child.txt");
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string command = marker + "=1 taskset -c 0 '" + self +
                                "' --gtest_filter=" + testName + " >'" + output + "' 2>&1";
    const int status = std::system(command.c_str());
    const std::string text = readWholeFile(output);
    // A filter that matched nothing would also exit with 0.
    if (status != 0 || text.find("[  PASSED  ] 1 test.") == std::string::npos) {
        failure = "the confined run failed:\n" + text;
        return false;
    }
    return true;
}

#endif

} // namespace vttest
