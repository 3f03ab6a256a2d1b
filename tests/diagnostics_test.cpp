// Diagnostics: the trace channel on standard output and the JAssert checks.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/Support.h"
#include "vtsupport/utils/JAssert.h"
#include "vtsupport/utils/Trace.h"

namespace {
using vttest::ScopedEnv;
const auto trace = []() -> utils::ITrace& { return *utils::PTrace::instance(); };
std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? "(absent)" : value;
}
TEST(Trace, WritesWhatIsInsertedAndFlushesAtEachNewlineAndNowhereElse) {
    const ScopedEnv on(utils::traceSwitchName, "yes");
    vttest::CoutCapture out;
    utils::ITrace& channel = trace();
    EXPECT_EQ(&channel,
              &(channel << std::numeric_limits<unsigned int>::max() << ' ' << -1 << ' '
                        << 3.14159265358979 << ' ' << 0.1 << ' ' << 1e20 << "ab\ncd"
                        << std::string("x\0y\n", 4) << "" << std::string() << 'z' << '\n'));
    EXPECT_EQ(std::string("4294967295 -1 3.14159 0.1 1e+20ab\ncdx\0y\nz\n", 42), out.str());
    EXPECT_EQ((std::vector<std::size_t>{34, 40, 42}), out.flushes());
}
TEST(Trace, EnableAndDisableSetTheSwitchReadAtEveryInsertion) {
    const ScopedEnv off(utils::traceSwitchName, nullptr);
    vttest::CoutCapture out;
    utils::PTrace::instance()->enable();
    EXPECT_EQ("1", variable(utils::traceSwitchName));
    trace() << "on" << '\n';
    utils::PTrace::instance()->disable();
    utils::PTrace::instance()->disable(); // an absent variable is harmless
    EXPECT_FALSE(utils::PTrace::isEnabled());
    utils::ITrace& channel = trace();
    EXPECT_EQ(&channel, &(channel << "off" << 42 << 7u << 2.5 << 'c' << std::string("s\n")));
    EXPECT_EQ("on\n", out.str());
}
// A process started with the switch present but empty traces. The Windows C runtime cannot hold
// an empty value at run time, but the environment block a child inherits can; on Windows the
// child runs this body again, hence the test first.
TEST(Trace, AnEmptySwitchValueCountsAsPresent) {
    if (variable(utils::traceSwitchName) != "")
        vttest::setEnv(utils::traceSwitchName, "");
    EXPECT_EXIT(
        std::exit(variable(utils::traceSwitchName).empty() && utils::PTrace::isEnabled() ? 0 : 1),
        ::testing::ExitedWithCode(0), "");
    vttest::setEnv(utils::traceSwitchName, nullptr);
}
// "JASSERT" must begin with "ON"; a list entry must begin with the file's name. The list is
// read, not changed.
TEST(JAssert, EnabledByTheSwitchAndTheFileList) {
    const auto enabled = [](const char* active, const char* list) {
        const ScopedEnv a("JASSERT", active), files("JASSERT_FILELIST", list);
        const std::string before = variable("JASSERT_FILELIST"); // Windows keeps no empty value
        const int answer = JAssertEnabled("SimpleDOM");
        EXPECT_EQ(before, variable("JASSERT_FILELIST"));
        return answer;
    };
    for (const char* active : {"ON", "ONWARDS"})
        for (const char* list :
             {static_cast<const char*>(nullptr), "", "SimpleDOM", "SimpleDOM.cpp", ",,SimpleDOM,,",
              "A,B,SimpleDOMX", "SimpleDO,SimpleDOMM"})
            EXPECT_EQ(1, enabled(active, list)) << active << " " << (list ? list : "(absent)");
    for (const char* active : {static_cast<const char*>(nullptr), "on", "On", "", "O", " ON"})
        EXPECT_EQ(0, enabled(active, nullptr)) << (active ? active : "(absent)");
    for (const char* list : {"Simple", " SimpleDOM", "simpledom", ",,,", ",", "A, SimpleDOM", "X"})
        EXPECT_EQ(0, enabled("ON", list)) << list;
}
// Only an active check evaluates its expression, once; a false one reports its site on standard
// error and aborts, also where the host buffers standard error.
TEST(JAssert, AFalseActiveCheckReportsItsSiteAndAborts) {
    int evaluations = 0;
    const std::pair<const char*, const char*> states[] = {
        {nullptr, nullptr}, {"OFF", nullptr}, {"ON", "Other"}, {"ON", "Other,diagnostics_test"}};
    for (const auto& state : states) {
        const ScopedEnv active("JASSERT", state.first), files("JASSERT_FILELIST", state.second);
        JAssert(++evaluations > 0);
    }
    EXPECT_EQ(1, evaluations);
    const ScopedEnv active("JASSERT", "ON"), files("JASSERT_FILELIST", nullptr);
    const std::string line = std::to_string(__LINE__ + 4); // the check's, below
    const auto fails = [](bool the_buffered) {
        if (the_buffered)
            std::setvbuf(stderr, nullptr, _IOFBF, 4096);
        JAssert(1 + 1 == 3);
    };
    for (const bool buffered : {false, true})
        EXPECT_DEATH(fails(buffered),
                     "^JAssert '1 \\+ 1 == 3' failed\\. value: 0, file: diagnostics_test, line: " +
                         line + "\n")
            << buffered;
}
} // namespace
