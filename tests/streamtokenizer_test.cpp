#include "vtsupport/text/StreamTokenizer.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace {

const std::string eof = "StreamTokenizer::TT_EOF";

// Every token up to and including the end token (at most 100, against endless loops).
std::vector<std::string> tokens(const std::string& input,
                                const std::function<void(StreamTokenizer&)>& configure = {}) {
    std::istringstream in(input);
    StreamTokenizer tokenizer(in);
    if (configure)
        configure(tokenizer);
    std::vector<std::string> result;
    while (result.size() < 100) {
        result.push_back(tokenizer.nextToken());
        if (result.back() == StreamTokenizer::TT_EOF)
            break;
    }
    return result;
}

using Tokens = std::vector<std::string>;

TEST(StreamTokenizer, DefaultsSplitWordsAndOrdinaryCharacters) {
    std::istringstream empty;
    StreamTokenizer tokenizer(empty);
    EXPECT_EQ(";:,.", tokenizer.getOrdinaryChars());
    EXPECT_EQ("\"'", tokenizer.getQuoteChars());
    EXPECT_EQ('\\', tokenizer.getEscapeChar());
    EXPECT_FALSE(tokenizer.getWhitespaceTokens());
    EXPECT_EQ("", tokenizer.getMLCommentStart());
    EXPECT_EQ("", tokenizer.getMLCommentEnd());
    EXPECT_EQ("", tokenizer.getSLCommentStart());
    EXPECT_EQ(eof, tokenizer.nextToken());
    EXPECT_EQ(eof, tokenizer.nextToken());
    EXPECT_EQ(1, tokenizer.lineno());

    EXPECT_EQ((Tokens{"a", ",", "b", eof}), tokens("a, b\n"));
    EXPECT_EQ((Tokens{"x.y", eof}),
              tokens("x.y", [](StreamTokenizer& t) { t.setOrdinaryChars(""); }));
    EXPECT_EQ((Tokens{"a", ".", ".", "b", eof}), tokens(" \t\va..b\r\f"));
    // A word still being collected at the end comes before the end token.
    EXPECT_EQ((Tokens{"last", eof}), tokens("last"));
    EXPECT_EQ((Tokens{"a", ";", eof}), tokens("a;"));
}

TEST(StreamTokenizer, WhitespaceTokensComeOneCharacterAtATime) {
    auto on = [](StreamTokenizer& t) { t.setWhitespaceTokens(true); };
    EXPECT_EQ((Tokens{"a", " ", " ", "b", "\n", eof}), tokens("a  b\n", on));
    EXPECT_EQ((Tokens{"\t", "x", "\r", "\n", eof}), tokens("\tx\r\n", on));

    // A blank read ahead while they were on still comes back after they are off.
    std::istringstream in("ab cd  ef");
    StreamTokenizer tokenizer(in);
    tokenizer.setWhitespaceTokens(true);
    EXPECT_EQ("ab", tokenizer.nextToken());
    tokenizer.setWhitespaceTokens(false);
    EXPECT_EQ(" ", tokenizer.nextToken());
    EXPECT_EQ("cd", tokenizer.nextToken());
    tokenizer.setWhitespaceTokens(true); // the blank that ended cd is gone
    EXPECT_EQ(" ", tokenizer.nextToken());
    EXPECT_EQ("ef", tokenizer.nextToken());
    EXPECT_EQ(eof, tokenizer.nextToken());
}

TEST(StreamTokenizer, QuotedTextIsThreeTokens) {
    EXPECT_EQ((Tokens{"say", "'", "hi there", "'", eof}), tokens("say 'hi there'\n"));
    EXPECT_EQ((Tokens{"'", "", "'", eof}), tokens("''"));
    EXPECT_EQ((Tokens{"\"", "a, b;\n#x", "'", "c", eof}),
              tokens("\"a, b;\n#x'c", [](StreamTokenizer& t) { t.setSLCommentStart("#"); }));
    // A quote right after a word ends it and opens nothing.
    EXPECT_EQ((Tokens{"ab", "\"", "cd", "\"", eof}), tokens("ab\"cd\" "));
    // Quoted text cut off by the end is still handed out.
    EXPECT_EQ((Tokens{"'", "open text", eof}), tokens("'open text"));
    EXPECT_EQ((Tokens{"'", eof}), tokens("'"));
    // No quote characters: quotes are word characters.
    EXPECT_EQ((Tokens{"'a", "b'", eof}),
              tokens("'a b'", [](StreamTokenizer& t) { t.setQuoteChars(""); }));
    EXPECT_EQ((Tokens{"|", "a b", "|", eof}),
              tokens("|a b|", [](StreamTokenizer& t) { t.setQuoteChars("|"); }));
}

TEST(StreamTokenizer, AQuoteRightAfterTheEscapeTokenIsAWordCharacter) {
    auto escapeIsOrdinary = [](StreamTokenizer& t) { t.setOrdinaryChars("\\,"); };
    EXPECT_EQ((Tokens{"\\", "\"x\"", "\"", "y", "\"", eof}),
              tokens("\\\"x\" \"y\"", escapeIsOrdinary));
    auto slash = [](StreamTokenizer& t) {
        t.setOrdinaryChars("/");
        t.setEscapeChar('/');
    };
    EXPECT_EQ((Tokens{"/", "'q'", eof}), tokens("/'q'", slash));
    // Without the escape token in front the quote works as usual.
    EXPECT_EQ((Tokens{"'", "q", "'", eof}), tokens("'q'", slash));
}

TEST(StreamTokenizer, ClassifyAndReadFollowTheSettings) {
    std::istringstream in(std::string("a\xff", 2));
    StreamTokenizer tokenizer(in);
    EXPECT_EQ(StreamTokenizer::CC_WORD, tokenizer.classify('a'));
    EXPECT_EQ(StreamTokenizer::CC_WHITESPACE, tokenizer.classify('\v'));
    EXPECT_EQ(StreamTokenizer::CC_ORDINARY, tokenizer.classify(':'));
    EXPECT_EQ(StreamTokenizer::CC_QUOTE, tokenizer.classify('\''));
    EXPECT_EQ(2, StreamTokenizer::CC_ORDINARY);
    EXPECT_EQ(5, StreamTokenizer::CC_WHITESPACE);
    tokenizer.setOrdinaryChars("a");
    EXPECT_EQ(StreamTokenizer::CC_ORDINARY, tokenizer.classify('a'));
    EXPECT_EQ(StreamTokenizer::CC_WORD, tokenizer.classify(':'));
    EXPECT_EQ('a', tokenizer.read());
    EXPECT_EQ(255, tokenizer.read());
    EXPECT_EQ(-1, tokenizer.read());
    EXPECT_TRUE(in.eof());
    EXPECT_EQ(-1, tokenizer.read());

    std::istringstream failed("abc");
    failed.setstate(std::ios::failbit);
    StreamTokenizer onFailed(failed);
    EXPECT_EQ(eof, onFailed.nextToken());
}

TEST(StreamTokenizer, SingleLineCommentsRunToTheLineFeed) {
    auto hash = [](StreamTokenizer& t) { t.setSLCommentStart("#"); };
    EXPECT_EQ((Tokens{"ab", "d", eof}), tokens("ab#c\nd\n", hash));
    EXPECT_EQ((Tokens{"x", eof}), tokens("# a 'b' , c\nx", hash));
    EXPECT_EQ((Tokens{"ab", eof}), tokens("ab#cut off", hash));
    EXPECT_EQ((Tokens{"a", "b", eof}),
              tokens("a //c\nb", [](StreamTokenizer& t) { t.setSLCommentStart("//"); }));
    // A marker of ordinary characters is never seen.
    EXPECT_EQ((Tokens{"a", ";", "b", eof}),
              tokens("a;b", [](StreamTokenizer& t) { t.setSLCommentStart(";"); }));
}

TEST(StreamTokenizer, MultiLineCommentsRunToTheEndMarker) {
    auto c = [](StreamTokenizer& t) {
        t.setMLCommentStart("/*");
        t.setMLCommentEnd("*/");
    };
    EXPECT_EQ((Tokens{"a", "b", eof}), tokens("a/*x y*/b\n", c));
    EXPECT_EQ((Tokens{"z", eof}), tokens("/* a, 'b' ; */z ", c));
    // Blanks and ordinary characters inside neither form nor break the end marker.
    EXPECT_EQ((Tokens{"*/q", eof}), tokens("/* * / */q", c));
    EXPECT_EQ((Tokens{"w", eof}), tokens("/* *,/ w", c));
    // The marker is looked for in the word and the comment together.
    EXPECT_EQ((Tokens{"a", "b", eof}), tokens("a/*/ b", c));
    EXPECT_EQ((Tokens{"a", eof}), tokens("a/*never closed", c));
    EXPECT_EQ((Tokens{eof}), tokens("/*never closed", c));

    std::istringstream in("/*\n\n*/w\nv");
    StreamTokenizer tokenizer(in);
    c(tokenizer);
    EXPECT_EQ("w", tokenizer.nextToken());
    EXPECT_EQ(3, tokenizer.lineno());
}

// Both markers can match on one character; each comment then ends by its own
// rule, the text before them comes back when the first ends, and once one has
// ended the other hides only the characters it alone would hide.
TEST(StreamTokenizer, MarkersThatMatchOnOneCharacter) {
    struct Case {
        const char *sl, *ml, *mlEnd;
        bool whitespace;
        const char *input, *expected; // each token with its line
    };
    const Case cases[] = {
        {"*", "/*", "*/", false, "a/*b*/c d\ne", "a@1|c@1|d@1|e@2|"},
        {"*", "/*", "*/", false, "a/*b\nc*/d e", "a@1|c@2|"},
        {"/*", "*", "*/", false, "a/*b\nc*/d e", "a/@1|c@2|d@2|e@2|"},
        {"b", "ab", "z", true, "x ab;c z, d\ne f", "x@1| @1|,@1| @1|d@1|\n@1|e@2| @2|f@2|"},
        {"b", "ab", "z", false, "x ab c\nd z e", "x@1|a@2|"},
        {"b", "ab", "z", false, "ab c\nd", "a@1|"},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.input);
        StreamTokenizer tokenizer(in);
        tokenizer.setSLCommentStart(c.sl);
        tokenizer.setMLCommentStart(c.ml);
        tokenizer.setMLCommentEnd(c.mlEnd);
        tokenizer.setWhitespaceTokens(c.whitespace);
        std::string seen;
        for (int i = 0; i < 20; ++i) {
            const std::string token = tokenizer.nextToken();
            if (token == StreamTokenizer::TT_EOF)
                break;
            seen += token + "@" + std::to_string(tokenizer.lineno()) + "|";
        }
        EXPECT_EQ(c.expected, seen) << c.input;
    }
}

TEST(StreamTokenizer, LinenoIsTheLineOfTheLastWord) {
    std::istringstream in("a\nb\n,\n'q'\n\n");
    StreamTokenizer tokenizer(in);
    EXPECT_EQ("a", tokenizer.nextToken());
    EXPECT_EQ(1, tokenizer.lineno());
    EXPECT_EQ("b", tokenizer.nextToken());
    EXPECT_EQ(2, tokenizer.lineno());
    EXPECT_EQ(",", tokenizer.nextToken());
    EXPECT_EQ("'", tokenizer.nextToken());
    EXPECT_EQ("q", tokenizer.nextToken());
    EXPECT_EQ("'", tokenizer.nextToken());
    EXPECT_EQ(eof, tokenizer.nextToken());
    EXPECT_EQ(2, tokenizer.lineno());
}

TEST(StreamTokenizer, PushBackGivesOneTokenOfLookAhead) {
    vttest::unsetEnv("JASSERT");
    std::istringstream in("one two");
    StreamTokenizer tokenizer(in);
    EXPECT_EQ("one", tokenizer.peekToken());
    EXPECT_EQ("one", tokenizer.nextToken());
    tokenizer.pushBack("");
    EXPECT_EQ("two", tokenizer.nextToken());
    tokenizer.pushBack("first");
    tokenizer.pushBack("second"); // dormant assertion: replaces the first
    EXPECT_EQ("second", tokenizer.nextToken());
    EXPECT_EQ(eof, tokenizer.nextToken());
    tokenizer.pushBack("again");
    EXPECT_EQ("again", tokenizer.nextToken());
    EXPECT_EQ(eof, tokenizer.nextToken());
}

TEST(StreamTokenizer, AssertionsReportTheirSitesWhenActive) {
    vttest::setEnv("JASSERT", "ON");
    vttest::setEnv("JASSERT_FILELIST", "StreamTokenizer");
    std::istringstream in("a b");
    StreamTokenizer tokenizer(in);
    tokenizer.pushBack("x");
    EXPECT_DEATH(tokenizer.pushBack("y"),
                 "^JAssert 'its_pushback_token.length\\(\\) == 0' failed\\. "
                 "value: 0, file: StreamTokenizer, line: 73\n");
    EXPECT_EQ("x", tokenizer.nextToken());
    tokenizer.setMLCommentStart("/*");
    EXPECT_DEATH(tokenizer.nextToken(),
                 "^JAssert 'ml_end_length' failed\\. value: 0, file: StreamTokenizer, line: 243\n");

    // Dormant, an empty end marker closes the comment at the next word character.
    vttest::unsetEnv("JASSERT");
    vttest::unsetEnv("JASSERT_FILELIST");
    EXPECT_EQ((Tokens{"a", "b", "c", eof}),
              tokens("a/*xb c", [](StreamTokenizer& t) { t.setMLCommentStart("/*"); }));
}

} // namespace
