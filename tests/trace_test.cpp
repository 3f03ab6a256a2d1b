#include "vtsupport/utils/Trace.h"

#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <limits>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

class TraceTest : public ::testing::Test {
protected:
    void SetUp() override { vttest::unsetEnv(utils::traceSwitchName); }
    void TearDown() override { vttest::unsetEnv(utils::traceSwitchName); }
    utils::ITrace& trace() { return *utils::PTrace::instance(); }
};

TEST_F(TraceTest, SwitchNameIsTheBuildConstant) {
    EXPECT_STREQ(VTSUPPORT_TRACE_VARIABLE, utils::traceSwitchName);
}

TEST_F(TraceTest, SilentWithoutSwitchAndChainsOnTheSameChannel) {
    vttest::CoutCapture out;
    utils::ITrace& channel = trace();
    utils::ITrace& result = channel << "text" << 42 << 7u << 2.5 << 'c' << std::string("s\n");
    EXPECT_EQ(&channel, &result);
    EXPECT_FALSE(utils::PTrace::isEnabled());
    EXPECT_EQ("", out.text());
}

TEST_F(TraceTest, NumbersUseTheStreamsDefaultFormatting) {
    vttest::setEnv(utils::traceSwitchName, "1");
    vttest::CoutCapture out;
    trace() << std::numeric_limits<unsigned int>::max() << ' ' << -1 << ' ' << 3.14159265358979
            << ' ' << 0.1 << ' ' << 1e20;
    EXPECT_EQ("4294967295 -1 3.14159 0.1 1e+20", out.text());
}

TEST_F(TraceTest, EachNewlineFlushesAndNothingElseDoes) {
    vttest::setEnv(utils::traceSwitchName, "yes");
    vttest::CoutCapture out;
    trace() << "ab\ncd" << std::string("x\ny\n") << 'z' << 1 << 2u << 0.5;
    EXPECT_EQ("ab\ncdx\ny\nz120.5", out.text());
    EXPECT_EQ((std::vector<std::size_t>{3, 7, 9}), out.flushes());
}

// The channel writes through the program's own std::cout (one C++ runtime for
// the library and the program, on Windows too): the program's formatting state
// applies, a field width to the next number or to the first character of a text.
TEST_F(TraceTest, ProgramsFormattingStateAppliesToWhatIsTraced) {
    vttest::setEnv(utils::traceSwitchName, "1");
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
    EXPECT_EQ("0xff 0xffffffff ***0xff **2.50 **x ***ab\n", out.text());
}

TEST_F(TraceTest, StringsAreWrittenWholeIncludingZeroCharacters) {
    vttest::setEnv(utils::traceSwitchName, "1");
    vttest::CoutCapture out;
    trace() << std::string("a\0b", 3) << "" << std::string();
    EXPECT_EQ(std::string("a\0b", 3), out.text());
}

TEST_F(TraceTest, SwitchIsReadAtEveryInsertion) {
    vttest::CoutCapture out;
    utils::PTrace::instance()->enable();
    EXPECT_TRUE(utils::PTrace::isEnabled());
    ASSERT_NE(nullptr, std::getenv(utils::traceSwitchName));
    EXPECT_STREQ("1", std::getenv(utils::traceSwitchName));
    trace() << "on" << '\n';
    utils::PTrace::instance()->disable();
    EXPECT_FALSE(utils::PTrace::isEnabled());
    EXPECT_EQ(nullptr, std::getenv(utils::traceSwitchName));
    trace() << "off" << '\n';
    EXPECT_EQ("on\n", out.text());
}

TEST_F(TraceTest, FlagsSetAndRemoveArbitraryVariables) {
    trace().setFlag("VTSUPPORT_TEST_FLAG");
    ASSERT_NE(nullptr, std::getenv("VTSUPPORT_TEST_FLAG"));
    EXPECT_STREQ("1", std::getenv("VTSUPPORT_TEST_FLAG"));
    trace().clearFlag("VTSUPPORT_TEST_FLAG");
    EXPECT_EQ(nullptr, std::getenv("VTSUPPORT_TEST_FLAG"));
    trace().clearFlag("VTSUPPORT_TEST_FLAG"); // removing an absent variable is harmless
    EXPECT_EQ(nullptr, std::getenv("VTSUPPORT_TEST_FLAG"));
}

// A process started with the switch present but empty traces. The child of the
// death test inherits the environment block, where an empty value can exist even
// though the Windows C runtime cannot store one at run time. On Windows the child
// runs this test body again, so the variable is only set where it is not empty yet.
TEST(TraceEnvironmentTest, EmptySwitchValueCountsAsPresent) {
    const char* inherited = std::getenv(utils::traceSwitchName);
    if (inherited == nullptr || *inherited != '\0')
        vttest::setEnv(utils::traceSwitchName, "");
    EXPECT_EXIT(
        {
            const char* value = std::getenv(utils::traceSwitchName);
            const bool empty = value != nullptr && *value == '\0';
            std::exit(empty && utils::PTrace::isEnabled() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    vttest::unsetEnv(utils::traceSwitchName);
}

TEST_F(TraceTest, InstanceIsUniqueWhenFirstCallsRace) {
    std::vector<utils::PTrace*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = utils::PTrace::instance(); });
    for (std::thread& t : threads)
        t.join();
    for (utils::PTrace* p : seen)
        EXPECT_EQ(utils::PTrace::instance(), p);
    EXPECT_NE(nullptr, seen[0]);
}

} // namespace
