#include "vtsupport/utils/Trace.h"

#include <cstdlib>
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
    vttest::StdoutCapture out;
    utils::ITrace& channel = trace();
    utils::ITrace& result = channel << "text" << 42 << 7u << 2.5 << 'c' << std::string("s\n");
    EXPECT_EQ(&channel, &result);
    EXPECT_FALSE(utils::PTrace::isEnabled());
    EXPECT_EQ("", out.flushed());
}

TEST_F(TraceTest, NumbersUseTheStreamsDefaultFormatting) {
    vttest::setEnv(utils::traceSwitchName, "1");
    vttest::StdoutCapture out;
    trace() << std::numeric_limits<unsigned int>::max() << ' ' << -1 << ' ' << 3.14159265358979
            << ' ' << 0.1 << ' ' << 1e20;
    EXPECT_EQ("4294967295 -1 3.14159 0.1 1e+20", out.flushed());
}

TEST_F(TraceTest, NewlineFlushesAndTheRestStaysBuffered) {
    vttest::setEnv(utils::traceSwitchName, "yes");
    vttest::StdoutCapture out;
    trace() << "ab\ncd";
    EXPECT_EQ("ab\n", out.reached());
    EXPECT_EQ("ab\ncd", out.flushed());
    trace() << std::string("x\ny\n");
    EXPECT_EQ("ab\ncdx\ny\n", out.reached());
}

TEST_F(TraceTest, StringsAreWrittenWholeIncludingZeroCharacters) {
    vttest::setEnv(utils::traceSwitchName, "1");
    vttest::StdoutCapture out;
    trace() << std::string("a\0b", 3) << "" << std::string();
    EXPECT_EQ(std::string("a\0b", 3), out.flushed());
}

TEST_F(TraceTest, SwitchIsReadAtEveryInsertion) {
    vttest::StdoutCapture out;
    utils::PTrace::instance()->enable();
    EXPECT_TRUE(utils::PTrace::isEnabled());
    ASSERT_NE(nullptr, std::getenv(utils::traceSwitchName));
    EXPECT_STREQ("1", std::getenv(utils::traceSwitchName));
    trace() << "on" << '\n';
    utils::PTrace::instance()->disable();
    EXPECT_FALSE(utils::PTrace::isEnabled());
    EXPECT_EQ(nullptr, std::getenv(utils::traceSwitchName));
    trace() << "off" << '\n';
    EXPECT_EQ("on\n", out.flushed());
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
