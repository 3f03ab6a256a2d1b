// Diagnostics: the trace channel on standard output and the JAssert checks.
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/Support.h"
#include "vtsupport/utils/JAssert.h"
#include "vtsupport/utils/Trace.h"

namespace {
using vttest::ScopedEnv;
const auto trace = []() -> utils::ITrace& { return *utils::PTrace::instance(); };
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
// The channel writes through the program's own std::cout (one C++ runtime for
// the library and the program, on Windows too): the program's formatting state
// applies, a field width to the next number or to the first character of a text.
TEST(Trace, TheProgramsFormattingStateAppliesToWhatIsTraced) {
    const ScopedEnv on(utils::traceSwitchName, "1");
    vttest::CoutCapture out;
    std::cout << std::hex << std::showbase << std::setfill('*');
    trace() << 255u << ' ' << -1 << ' ';
    std::cout << std::setw(7);
    trace() << 255u << ' ';
    std::cout << std::fixed << std::setprecision(2) << std::setw(6);
    trace() << 2.5 << ' ';
    std::cout << std::setw(3);
    trace() << 'x' << ' ';
    std::cout << std::setw(4);
    trace() << "ab" << '\n';
    EXPECT_EQ("0xff 0xffffffff ***0xff **2.50 **x ***ab\n", out.str());
}
TEST(Trace, EnableAndDisableSetTheSwitchReadAtEveryInsertion) {
    const ScopedEnv off(utils::traceSwitchName, nullptr);
    const ScopedEnv flag("VTSUPPORT_TEST_FLAG", "an earlier value");
    vttest::CoutCapture out;
    utils::PTrace::instance()->enable();
    ASSERT_NE(nullptr, std::getenv(utils::traceSwitchName));
    EXPECT_STREQ("1", std::getenv(utils::traceSwitchName));
    EXPECT_TRUE(utils::PTrace::isEnabled());
    trace() << "on" << '\n';
    utils::PTrace::instance()->disable();
    EXPECT_EQ(nullptr, std::getenv(utils::traceSwitchName));
    EXPECT_FALSE(utils::PTrace::isEnabled());
    utils::ITrace& channel = trace();
    EXPECT_EQ(&channel, &(channel << "off" << 42 << 7u << 2.5 << 'c' << std::string("s\n")));
    EXPECT_EQ("on\n", out.str());
    trace().setFlag("VTSUPPORT_TEST_FLAG");
    EXPECT_STREQ("1", std::getenv("VTSUPPORT_TEST_FLAG"));
    trace().clearFlag("VTSUPPORT_TEST_FLAG");
    trace().clearFlag("VTSUPPORT_TEST_FLAG"); // an absent variable is harmless
    EXPECT_EQ(nullptr, std::getenv("VTSUPPORT_TEST_FLAG"));
}
// A process started with the switch present but empty traces. The Windows C runtime
// cannot hold an empty value at run time, but the environment block a child
// inherits can; on Windows the child runs this body again, hence the test first.
TEST(Trace, AnEmptySwitchValueCountsAsPresent) {
    const char* inherited = std::getenv(utils::traceSwitchName);
    if (inherited == nullptr || *inherited != '\0')
        vttest::setEnv(utils::traceSwitchName, "");
    EXPECT_EXIT(
        {
            const char* value = std::getenv(utils::traceSwitchName);
            std::exit(value != nullptr && *value == '\0' && utils::PTrace::isEnabled() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    vttest::setEnv(utils::traceSwitchName, nullptr);
}
int evaluations = 0;
bool counted(bool value) {
    ++evaluations;
    return value;
}
TEST(JAssert, OnlyAValueStartingWithOnActivatesAndDormantChecksEvaluateNothing) {
    const ScopedEnv list("JASSERT_FILELIST", nullptr);
    evaluations = 0;
    for (const char* value :
         {static_cast<const char*>(nullptr), "on", "On", "", "O", " ON", "OFF"}) {
        const ScopedEnv active("JASSERT", value);
        JAssert(counted(false));
        EXPECT_EQ(0, JAssertEnabled("anything")) << (value ? value : "(absent)");
    }
    EXPECT_EQ(0, evaluations);
    for (const char* value : {"ON", "ONWARDS"}) {
        const ScopedEnv active("JASSERT", value);
        JAssert(counted(true)); // holds: evaluated once, nothing reported
    }
    EXPECT_EQ(2, evaluations);
}
TEST(JAssert, AFalseActiveCheckReportsItsSiteAndAborts) {
    const ScopedEnv active("JASSERT", "ON");
    const ScopedEnv list("JASSERT_FILELIST", "Other,diagnostics_test");
    const std::string line = std::to_string(__LINE__ + 1);
    const auto fails = [] { JAssert(1 + 1 == 3); };
    const std::string site = " failed\\. value: 0, file: diagnostics_test, line: " + line + "\n";
    EXPECT_DEATH(fails(), "^JAssert '1 \\+ 1 == 3'" + site);
    const ScopedEnv empty("JASSERT_FILELIST", ""); // every file
    EXPECT_DEATH(fails(), site);
    const ScopedEnv other("JASSERT_FILELIST", "SimpleDOM,StreamTokenizer");
    evaluations = 0;
    JAssert(counted(false));
    EXPECT_EQ(0, evaluations);
}
TEST(JAssert, FileListEntriesMatchWhenTheyBeginWithTheName) {
    const ScopedEnv active("JASSERT", "ON");
    const auto check = [](const char* list, int expected) {
        const ScopedEnv files("JASSERT_FILELIST", list);
        EXPECT_EQ(expected, JAssertEnabled("SimpleDOM")) << '"' << list << '"';
        EXPECT_STREQ(list, std::getenv("JASSERT_FILELIST")) << "the list stays intact";
    };
    for (const char* list :
         {"SimpleDOM", "SimpleDOM.cpp", ",,SimpleDOM,,", "A,B,SimpleDOMX", "SimpleDO,SimpleDOMM"})
        check(list, 1);
    for (const char* list : {"Simple", " SimpleDOM", "simpledom", ",,,", ",", "A, SimpleDOM", "X"})
        check(list, 0);
}
} // namespace
