// The reader and the tokenizer take runs of characters straight from the
// stream buffer when it holds them. Whatever the buffer hands out at a time
// (everything at once, one character per refill, or nothing buffered at all)
// the tokens, lines, trees and failures must be the same.
#include <ios>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TrickleBuffer.h"
#include "vtsupport/text/SimpleDOM.h"
#include "vtsupport/text/StreamTokenizer.h"
#include "vtsupport/text/detail/XmlTokenizerSettings.h"

namespace {

// Reads `text` through each kind of buffer and returns what `read` makes of it.
template <typename Read>
std::vector<std::string> throughEachBuffer(const std::string& text, Read read) {
    std::vector<std::string> outcomes;
    std::istringstream whole(text);
    outcomes.push_back(read(whole));
    for (bool unbuffered : {false, true}) {
        vttest::TrickleBuffer buffer(text, unbuffered);
        std::istream in(&buffer);
        outcomes.push_back(read(in));
    }
    return outcomes;
}

std::string parsed(std::istream& in) {
    try {
        std::unique_ptr<SimpleDOM::Node, void (*)(SimpleDOM::Node*)> root(
            SimpleDOM::parse(in, false), SimpleDOM::deleteTree);
        std::ostringstream out;
        out << root.get();
        return out.str();
    } catch (const SimpleDOM::ParseException& e) {
        return std::string(e.what()) + " @" + std::to_string(e.its_line);
    }
}

TEST(StreamBufferingTest, TreesAndFailuresDoNotDependOnTheBuffer) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"<?xml version=\"1.0\"?>\n<!-- a\n comment -->\n<a x=\"1\"\n   y = \"two\nlines\">\n"
         "  some text;, with: marks = \"q\" / and\ttabs\r\n  <b k=\"&amp;\"/>tail words\n</a>\n",
         "<a x=\"1\" y=\"two\nlines\">tailwords\n    <b k=\"&amp;\"/>\n</a>\n"},
        {"<a>\n x\n</a>", "<a>\n x\n</a>\n"},
        {"<r><p>word</p>\n\n\n<q>1 > 0</q></r>", "Document not well-formed. (>) @4"},
        {"<r>\n<p v=\"open\n\n", "Document not well-formed. (StreamTokenizer::TT_EOF) @2"},
        {"<r>\n  <s>\n   end", "Document not well-formed. (s) @3"},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> outcomes = throughEachBuffer(c.first, parsed);
        EXPECT_EQ(std::vector<std::string>(3, c.second), outcomes) << c.first;
    }
}

TEST(StreamBufferingTest, TokensAndLinesDoNotDependOnTheBuffer) {
    const std::string text =
        "alpha beta, \"quoted text\" 'q'\n\n  gamma;delta\t\\\"x\" <tag attr=\"v\">\n"
        "last";
    for (bool readerSettings : {false, true}) {
        const auto tokens = [readerSettings](std::istream& in) {
            StreamTokenizer tokenizer(in);
            if (readerSettings) {
                vtsupport::detail::configureForXml(tokenizer);
            }
            std::string all;
            for (std::string token = tokenizer.nextToken();; token = tokenizer.nextToken()) {
                all += "[" + token + "]" + std::to_string(tokenizer.lineno());
                if (token == StreamTokenizer::TT_EOF)
                    return all;
            }
        };
        const std::vector<std::string> outcomes = throughEachBuffer(text, tokens);
        EXPECT_EQ(outcomes[0], outcomes[1]);
        EXPECT_EQ(outcomes[0], outcomes[2]);
    }
    std::istringstream in(text);
    StreamTokenizer tokenizer(in);
    std::string all;
    for (std::string token = tokenizer.nextToken(); token != StreamTokenizer::TT_EOF;
         token = tokenizer.nextToken())
        all += "[" + token + "]" + std::to_string(tokenizer.lineno());
    EXPECT_EQ("[alpha]1[beta]1[,]1[\"]1[quoted text]1[\"]1[']1[q]1[']1[gamma]3[;]3[delta]3"
              "[\\]3[\"]3[x]3[\"]3[<tag]3[attr=]3[\"]3[v]3[\"]3[>]3[last]4",
              all);
}

// Counts the flushes of the stream it stands behind.
class FlushCounter : public std::streambuf {
public:
    int its_flushes = 0;

protected:
    int sync() override {
        ++its_flushes;
        return 0;
    }
};

// Reading a token flushes the tied stream first, as formatted input does;
// taking one character with read(), like istream::get, does not.
TEST(StreamBufferingTest, ScanningFlushesTheTiedStream) {
    FlushCounter counter;
    std::ostream tied(&counter);
    std::istringstream in("<a; b");
    in.tie(&tied);
    StreamTokenizer tokenizer(in);
    EXPECT_EQ('<', tokenizer.read());
    EXPECT_EQ(0, counter.its_flushes);
    EXPECT_EQ("a", tokenizer.nextToken());
    EXPECT_EQ(1, counter.its_flushes);
    EXPECT_EQ(";", tokenizer.nextToken()); // held back by the word, nothing read
    EXPECT_EQ(1, counter.its_flushes);
    EXPECT_EQ("b", tokenizer.nextToken());
    EXPECT_EQ(2, counter.its_flushes);
    EXPECT_EQ(StreamTokenizer::CC_WORD, tokenizer.classify(-1));
    EXPECT_EQ(StreamTokenizer::CC_WORD, tokenizer.classify(256));

    FlushCounter readerCounter;
    std::ostream readerTied(&readerCounter);
    std::istringstream document("<a/>");
    document.tie(&readerTied);
    SimpleDOM::deleteTree(SimpleDOM::parse(document, false));
    EXPECT_LE(1, readerCounter.its_flushes);
}

// An unbuffered source whose character can be seen but never taken.
class BrokenSource : public std::streambuf {
protected:
    int_type underflow() override { return 'a'; }
    int_type uflow() override { throw std::runtime_error("device gone"); }
};

TEST(StreamBufferingTest, ASourceThatThrowsEndsTheInputUnlessTheStreamThrows) {
    BrokenSource quiet;
    std::istream in(&quiet);
    StreamTokenizer tokenizer(in);
    EXPECT_EQ(StreamTokenizer::TT_EOF, tokenizer.nextToken());
    EXPECT_TRUE(in.bad());
    EXPECT_EQ(StreamTokenizer::TT_EOF, tokenizer.nextToken());

    BrokenSource forReader;
    std::istream document(&forReader);
    EXPECT_EQ(nullptr, SimpleDOM::parse(document, false));
    EXPECT_TRUE(document.bad());

    BrokenSource strict;
    std::istream throwing(&strict);
    throwing.exceptions(std::ios::badbit);
    StreamTokenizer strictTokenizer(throwing);
    EXPECT_THROW(strictTokenizer.nextToken(), std::ios_base::failure);
    BrokenSource strictForReader;
    std::istream throwingDocument(&strictForReader);
    throwingDocument.exceptions(std::ios::badbit);
    EXPECT_THROW(SimpleDOM::parse(throwingDocument, false), std::ios_base::failure);
}

} // namespace
