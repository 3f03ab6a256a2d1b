#include "vtsupport/utils/JAssert.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace {

class JAssertTest : public ::testing::Test {
protected:
    void SetUp() override {
        vttest::unsetEnv("JASSERT");
        vttest::unsetEnv("JASSERT_FILELIST");
    }
    void TearDown() override { SetUp(); }
};

int evaluations = 0;
bool counted(bool value) {
    ++evaluations;
    return value;
}

TEST_F(JAssertTest, SiteNameIsTheBaseNameWithoutExtension) {
    EXPECT_STREQ("SimpleDOM",
                 vtsupport::detail::siteName("/src/vtsupport/text/SimpleDOM.cpp").text);
    EXPECT_STREQ("Cpu", vtsupport::detail::siteName("C:\\work\\utils\\Cpu.cpp").text);
    EXPECT_STREQ("mixed", vtsupport::detail::siteName("a\\b/mixed.h").text);
    EXPECT_STREQ("plain", vtsupport::detail::siteName("plain").text);
    EXPECT_STREQ("two.parts", vtsupport::detail::siteName("dir.d/two.parts.cpp").text);
}

TEST_F(JAssertTest, DormantAssertionsDoNotEvaluateTheirExpression) {
    evaluations = 0;
    JAssert(counted(false));
    for (const char* value : {"on", "On", "", "O", " ON", "OFF"}) {
        vttest::setEnv("JASSERT", value);
        JAssert(counted(false));
        EXPECT_EQ(0, JAssertEnabled("jassert_test")) << "JASSERT=" << value;
    }
    EXPECT_EQ(0, evaluations);
}

TEST_F(JAssertTest, ActiveTrueAssertionEvaluatesOnceAndGoesOn) {
    vttest::setEnv("JASSERT", "ON");
    evaluations = 0;
    JAssert(counted(true));
    EXPECT_EQ(1, evaluations);
    vttest::setEnv("JASSERT", "ONWARDS");
    JAssert(counted(true));
    EXPECT_EQ(2, evaluations);
}

TEST_F(JAssertTest, ActiveFalseAssertionReportsTheSiteAndAborts) {
    vttest::setEnv("JASSERT", "ON");
    const std::string expected =
        "JAssert '1 \\+ 1 == 3' failed\\. value: 0, file: jassert_test, line: ";
    EXPECT_DEATH(JAssert(1 + 1 == 3), expected + std::to_string(__LINE__) + "\n");
}

TEST_F(JAssertTest, UnreachableSiteAbortsWhenItsFileIsListed) {
    vttest::setEnv("JASSERT", "ON");
    vttest::setEnv("JASSERT_FILELIST", "Other,jassert_test");
    const std::string expected = "JAssert 'false' failed\\. value: 0, file: jassert_test, line: ";
    EXPECT_DEATH(JAssert(false), expected + std::to_string(__LINE__));
}

TEST_F(JAssertTest, EmptyFileListMeansEveryFile) {
    vttest::setEnv("JASSERT", "ON");
    vttest::setEnv("JASSERT_FILELIST", "");
    EXPECT_EQ(1, JAssertEnabled("anything"));
    EXPECT_DEATH(JAssert(false), "file: jassert_test");
}

TEST_F(JAssertTest, UnlistedFileStaysDormant) {
    vttest::setEnv("JASSERT", "ON");
    vttest::setEnv("JASSERT_FILELIST", "SimpleDOM,StreamTokenizer");
    evaluations = 0;
    JAssert(counted(false));
    EXPECT_EQ(0, evaluations);
}

TEST_F(JAssertTest, FileListEntriesMatchByPrefixOfTheEntry) {
    vttest::setEnv("JASSERT", "ON");
    struct Case {
        const char* list;
        int expected;
    };
    const Case cases[] = {
        {"SimpleDOM", 1},
        {"SimpleDOM.cpp", 1},
        {"Simple", 0},
        {" SimpleDOM", 0},
        {"simpledom", 0},
        {",,,", 0},
        {",", 0},
        {",,SimpleDOM,,", 1},
        {"A,B,SimpleDOMX", 1},
        {"A, SimpleDOM", 0},
        {"SimpleDO,SimpleDOMM", 1},
        {"X", 0},
    };
    for (const Case& c : cases) {
        vttest::setEnv("JASSERT_FILELIST", c.list);
        EXPECT_EQ(c.expected, JAssertEnabled("SimpleDOM")) << "list \"" << c.list << '"';
        EXPECT_STREQ(c.list, std::getenv("JASSERT_FILELIST")) << "the list must stay intact";
    }
}

} // namespace
