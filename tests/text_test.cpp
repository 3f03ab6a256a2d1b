// Text reading. Every tokenizer and reader row and fuzz corpus file must read as the rules' plain
// renderings in fuzz/ read it, through a string stream and buffers of 1, 3, 7 or no characters.
#include <cctype>
#include <functional>
#include <initializer_list>
#include <iomanip>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "fuzz/ReferenceReader.h"
#include "fuzz/ReferenceTokenizer.h"
#include "support/Support.h"
#include "support/TrickleBuffer.h"
#include "vtsupport/text/SimpleDOM.h"
#include "vtsupport/text/StreamTokenizer.h"
#include "vtsupport/text/detail/CharClasses.h"

namespace {
using SimpleDOM::Node;
using Tree = std::unique_ptr<Node, void (*)(Node*)>;
using vttest::ScopedEnv;
using Read = std::function<std::string(std::istream&)>;
const auto own = [](Node* root) { return Tree(root, SimpleDOM::deleteTree); };
// A tokenizer's settings, built up from the defaults.
struct Settings {
    std::string ordinary = ";:,.", line, blockStart, blockEnd;
    char escape = '\\';
    bool whitespace = false, reader = false;
    Settings& ordinaryChars(const char* s) { return ordinary = s, *this; }
    Settings& escapeChar(char c) { return escape = c, *this; }
    Settings& lineComments(const char* start) { return line = start, *this; }
    Settings& blockComments(const char* start, const char* end) {
        return blockStart = start, blockEnd = end, *this;
    }
    Settings& whitespaceTokens() { return whitespace = true, *this; }
    Settings& xml() { return reader = true, *this; } // each set up as its reader does
    void applyTo(StreamTokenizer& t) const {
        t.setOrdinaryChars(ordinary), t.setEscapeChar(escape);
        t.setSLCommentStart(line), t.setMLCommentStart(blockStart), t.setMLCommentEnd(blockEnd);
        t.setWhitespaceTokens(whitespace);
        if (reader)
            vtsupport::detail::configureForXml(t);
    }
    void applyTo(reference::Tokenizer& t) const {
        t.ordinary = ordinary, t.escape.assign(1, escape);
        t.slStart = line, t.mlStart = blockStart, t.mlEnd = blockEnd,
        t.whitespaceTokens = whitespace;
        if (reader)
            reference::Reader::configure(t);
    }
};
// The tokens joined by "|", each followed by "@" and lineno() where that changed.
template <typename Tokenizer>
std::string tokens(std::istream& in, const Settings& settings) {
    Tokenizer tokenizer(in);
    settings.applyTo(tokenizer);
    std::string all;
    for (int i = 0, line = 1; i < 200; ++i) {
        const std::string token = tokenizer.nextToken();
        if (token == StreamTokenizer::TT_EOF)
            return tokenizer.nextToken() == StreamTokenizer::TT_EOF ? all : all + "(not ended)";
        all += (i == 0 ? "" : "|") + token;
        if (tokenizer.lineno() != line)
            all += "@" + std::to_string(line = tokenizer.lineno());
    }
    return all + "(endless)";
}
// What `reference` makes of `text`, which `library` must make of it through every kind of buffer.
std::string agreed(const std::string& text, const Read& reference, const Read& library) {
    std::istringstream plain(text), whole(text);
    const std::string expected = reference(plain);
    EXPECT_EQ(expected, library(whole)) << "a string stream";
    for (std::size_t piece : {0, 1, 3, 7}) {
        vttest::TrickleBuffer buffer(text, piece == 0, piece);
        std::istream in(&buffer);
        EXPECT_EQ(expected, library(in)) << "pieces of " << piece;
    }
    return expected;
}
std::string tokenized(const std::string& text, const Settings& settings) {
    return agreed(
        text, [&](std::istream& in) { return tokens<reference::Tokenizer>(in, settings); },
        [&](std::istream& in) { return tokens<StreamTokenizer>(in, settings); });
}
const char* const kNothing = "(nothing thrown)";
// The ParseException that `action` throws, as "message @ line" (read from a copy, as handlers may).
std::string failure(const std::function<void()>& action) {
    try {
        action();
    } catch (const SimpleDOM::ParseException& e) {
        const SimpleDOM::ParseException copy(e);
        return std::string(static_cast<const std::exception&>(copy).what()) + " @ " +
               std::to_string(copy.its_line);
    }
    return kNothing;
}
std::string written(const Node* node) {
    std::ostringstream out;
    out << node;
    return out.str();
}
const char* const kRest = "\n~ rest: ";
// What a reader makes of a document: the tree written back, "(none)" for no element at all, or
// the failure; then what the stream still holds.
std::string reading(std::istream& in, const std::function<Node*()>& read) {
    std::string outcome = "(none)";
    const std::string failed = failure([&] {
        const Tree root = own(read());
        if (root)
            outcome = written(root.get());
    });
    in.clear();
    return (failed == kNothing ? outcome : failed) + kRest +
           std::string(std::istreambuf_iterator<char>(in), {});
}
// The reading of `text` without the rest.
std::string read(const std::string& text, bool keep = false) {
    const std::string outcome = agreed(
        text,
        [&](std::istream& in) {
            return reading(in, [&] { return reference::Reader(in, keep).read(); });
        },
        [&](std::istream& in) { return reading(in, [&] { return SimpleDOM::parse(in, keep); }); });
    return outcome.substr(0, outcome.find(kRest));
}
struct TokenRow {
    const char* name;
    Settings settings;
    const char* input;
    std::string expected; // empty where the reference decides alone
};
const Settings none, hash = Settings().lineComments("#"),
                     block = Settings().blockComments("/*", "*/");
const std::string kBlankLines = "a" + std::string(242, '\n') + "b"; // counted in blocks of 240
const TokenRow tokenRows[] = {
    {"no ordinaries", Settings().ordinaryChars(""), "x.y", "x.y"},
    {"lines", none, "a\nb\n,\n'q'\n\nc", "a|b@2|,|'|q|'|c@6"},
    {"many blank lines", none, kBlankLines.c_str(), "a|b@243"},
    {"whitespace tokens", Settings().whitespaceTokens(), "a \tb\r\n", "a| |\t|b|\r|\n"},
    {"lines in quotes", hash, "\"a, b;\n#x'c", "\"|a, b;\n#x|'|c@2"},
    {"another escape", Settings().ordinaryChars("/").escapeChar('/'), "/'q' 'q'", ""},
    {"line comment", hash, "ab#c 'q' ,\nd\n", "ab|d@2"},
    {"line comment to the end", hash, "ab#cut off", "ab"},
    {"block comment", block, "a/* x, 'y' ; */b\n", "a|b"},
    {"empty end marker (a dormant check)", Settings().blockComments("/*", ""), "a/*xb c", "a|b|c"},
    {"lines in a block", block, "/*\n\n*/w\nv", "w@3|v@4"},
    {"ordinary in the end marker", Settings().blockComments("{{", "};"), "a {{ x }; y", "a"},
    {"reader's settings", Settings().xml(), "<a x=\"1\">t t</a>\n",
     "<|a| |x|=|\"|1|\"|>|t| |t|<|/|a|>|\n"},
};
TEST(Tokenizer, EachRowGivesTheReferencesTokensAndLines) {
    const ScopedEnv dormant("JASSERT", nullptr);
    for (const TokenRow& row : tokenRows) {
        SCOPED_TRACE(row.name);
        const std::string outcome = tokenized(row.input, row.settings);
        EXPECT_EQ(row.expected.empty() ? outcome : row.expected, outcome);
    }
}
struct ReaderRow {
    const char* name;
    const char* input;
    std::string expected;
    bool keepWhitespaceText = false;
};
std::string notWellFormed(const char* the_token, int the_line) {
    return "Document not well-formed. (" + std::string(the_token) + ") @ " +
           std::to_string(the_line);
}
const ReaderRow readerRows[] = {
    {"empty", "", "(none)"},
    {"attributes", "<a x=\"1\" y = \"2\" flag z=\"\" w=\"0123456789abcdefghij\" v=\"3\"/>",
     "<a flag=\"\" v=\"3\" w=\"0123456789abcdefghij\" x=\"1\" y=\"2\" z=\"\"/>\n"},
    {"blanks kept and dropped", "<r><a> x  y </a><b><c/>x y</b></r>",
     "<r>\n    <a> x  y </a>\n    <b>xy\n        <c/>\n    </b>\n</r>\n"},
    {"whitespace kept", "<a> \t\r\n</a>", "<a> \t\r\n</a>\n", true},
    {"comment not closed", "<r><!-- c -- \n><!-- c !--></r>", notWellFormed(">", 2)},
    {"value to the end", "<r>\n<p v=\"open\n\n", notWellFormed("StreamTokenizer::TT_EOF", 2)},
    {"second root", "<a/>\n<b/>", notWellFormed("b", 2)},
    {"bracket before the root", "x\ny/>", notWellFormed(">", 2)},
};
TEST(Reader, EachRowGivesTheReferencesTreeOrFailure) {
    for (const ReaderRow& row : readerRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.expected, read(row.input, row.keepWhitespaceText));
    }
}
const std::pair<const char*, std::string> corpus[] = {
#include "FuzzCorpus.inc"
};
// The first byte of a reader input picks whether blank text is kept, as in the fuzz target.
TEST(Reader, EveryCorpusFileGivesTheReferencesTreeTokensAndLines) {
    const ScopedEnv dormant("JASSERT", nullptr);
    for (const auto& file : corpus) {
        SCOPED_TRACE(file.first);
        const std::string text = file.second.empty() ? "" : file.second.substr(1);
        read(text, !file.second.empty() && (file.second[0] & 1) != 0);
        tokenized(file.second, Settings());
        tokenized(file.second, Settings().xml());
    }
}
TEST(Tokenizer, ClassifyFollowsTheSettings) {
    std::istringstream in;
    StreamTokenizer tokenizer(in);
    const auto classes = [&](std::initializer_list<int> chars) {
        std::string all;
        for (int c : chars)
            all += std::to_string(tokenizer.classify(c));
        return all;
    };
    EXPECT_EQ("45523344", classes({'a', '\v', ' ', ':', '\'', '"', -1, 256}));
    tokenizer.setOrdinaryChars(std::string("a\0\xff", 3));
    tokenizer.setQuoteChars("");
    EXPECT_EQ("22244", classes({'a', 0, 255, ':', '"'}));
}
TEST(Tokenizer, WhitespaceIsWhatIsspaceSaysForEveryByte) {
    std::istringstream in;
    StreamTokenizer tokenizer(in);
    tokenizer.setOrdinaryChars("");
    tokenizer.setQuoteChars("");
    for (int c = 0; c < 256; ++c) {
        EXPECT_EQ(std::isspace(c) ? StreamTokenizer::CC_WHITESPACE : StreamTokenizer::CC_WORD,
                  tokenizer.classify(c))
            << c;
    }
}
// Output that shows only what has been flushed, as a terminal shows a prompt.
struct FlushedOnly : std::stringbuf {
    int sync() override { return shown += str(), str(""), 0; }
    std::string shown;
};
// The tokenizer and the reader flush a tied output stream before each token, and read() takes
// one character (0 to 255, then -1 for good) as it stands, flushing nothing. A stream that failed
// before is refused; one whose buffer throws ends the input.
TEST(Tokenizer, StreamsAreReadAsAnIstreamWould) {
    FlushedOnly screen;
    std::ostream prompt(&screen);
    std::istringstream in("42 7 \xff"), document("<a/>"), failed("<a/>");
    in.tie(&prompt), document.tie(&prompt);
    StreamTokenizer tokenizer(in);
    prompt << "first? ";
    EXPECT_EQ("42", tokenizer.nextToken());
    prompt << "second? ";
    EXPECT_EQ("7", tokenizer.nextToken());
    EXPECT_EQ("first? second? ", screen.shown);
    prompt << "third? ";
    EXPECT_EQ(255, tokenizer.read());
    EXPECT_EQ(-1, tokenizer.read());
    EXPECT_TRUE(in.eof());
    EXPECT_EQ(-1, tokenizer.read());
    EXPECT_EQ("first? second? ", screen.shown);
    own(SimpleDOM::parse(document, false));
    EXPECT_EQ("first? second? third? ", screen.shown);
    failed.setstate(std::ios::failbit);
    EXPECT_EQ("Error: Stream is bad. @ 0", failure([&] { SimpleDOM::parse(failed, false); }));
    EXPECT_EQ(StreamTokenizer::TT_EOF, StreamTokenizer(failed).nextToken());
    struct BrokenSource : std::streambuf { // a character that can be seen but never taken
        int_type underflow() override { return 'a'; }
        int_type uflow() override { throw std::runtime_error("device gone"); }
    } source, forRead, forReader;
    std::istream broken(&source), brokenRead(&forRead), brokenDocument(&forReader);
    EXPECT_EQ(StreamTokenizer::TT_EOF, StreamTokenizer(broken).nextToken());
    EXPECT_EQ(-1, StreamTokenizer(brokenRead).read());
    EXPECT_EQ(nullptr, SimpleDOM::parse(brokenDocument, false));
    EXPECT_TRUE(broken.bad() && brokenRead.bad() && brokenDocument.bad());
}
Node* child(Node* parent, const std::string& name) {
    Node* node = new Node(name);
    parent->appendChild(node);
    return node;
}
// The children's names, each checked to point back at the parent and its neighbours.
std::string children(const Node* parent) {
    std::string joined;
    const Node* previous = nullptr;
    for (const Node* node : parent->getChildren()) {
        EXPECT_EQ(parent, node->getParent()) << node->getName();
        EXPECT_EQ(previous, node->getPreviousSibling()) << node->getName();
        EXPECT_EQ(node, previous ? previous->getNextSibling() : parent->getFirstChild());
        joined += (previous ? "," : "") + node->getName();
        previous = node;
    }
    EXPECT_TRUE(previous == nullptr || previous->getNextSibling() == nullptr);
    return joined;
}
TEST(Tree, LinkingKeepsTheChainAndParentsConsistent) {
    const ScopedEnv dormant("JASSERT", nullptr);
    const Tree tree = own(new Node("r"));
    Node* r = tree.get();
    Node* b = child(r, "b");
    Node* d = child(r, "d");
    Node *a = new Node("a"), *c = new Node("c"), *e = new Node("e"), *x = new Node("x");
    r->insertBefore(b, a); // the new first child
    r->insertAfter(b, c);  // in the middle
    r->insertAfter(d, e);  // the tail
    r->insertBefore(c, x); // in the middle: the first child stays
    Node orphan("o");      // null neighbours change nothing
    r->insertAfter(nullptr, &orphan);
    r->insertBefore(nullptr, &orphan);
    EXPECT_EQ(nullptr, orphan.getParent());
    EXPECT_EQ("a,b,x,c,d,e", children(r));
    for (Node* removed : {x, a, e}) // middle, head, tail
        r->removeChild(removed);
    EXPECT_EQ("b,c,d", children(r));
    EXPECT_EQ(r, a->getParent()); // a removed node keeps its links
    EXPECT_EQ(b, x->getPreviousSibling());
    EXPECT_EQ(c, x->getNextSibling());
    for (Node* removed : {a, x, e})
        SimpleDOM::deleteTree(removed);
    child(r, "f"); // appending after edits still finds the tail
    EXPECT_EQ("b,c,d,f", children(r));
}
TEST(Tree, FindElementsGivesDescendantsInDocumentOrder) {
    std::istringstream in(
        "<x><x n=\"1\"><y/><x n=\"2\"><x n=\"3\"/></x></x><X n=\"X\"/><b><x n=\"4\"/></b></x>");
    const Tree tree = own(SimpleDOM::parse(in, false));
    std::string found;
    for (Node* node : tree->findElements("x"))
        found += node->getAttribute("n");
    EXPECT_EQ("1234", found);
    EXPECT_TRUE(tree->findElements("x").back()->findElements("x").empty());
}
// Attributes in name order, each on a line of its own under the indent given; reading an absent
// one adds it, empty; the map comes as a copy. Nothing is escaped.
TEST(Writer, WritesTheDocumentedShapesExactly) {
    const Tree tree = own(new Node("b"));
    Node* b = tree.get();
    b->setText("t <&> \"q\"");
    b->setAttribute("k", "v");
    b->setAttribute("j", "1");
    b->setAttribute("k", "w");
    b->getAttributes()["j"] = "changed in a copy";
    b->getAttribute("j") += " by reference";
    EXPECT_EQ("", b->getAttribute("a"));
    child(child(b, "c"), "d");
    std::ostringstream out;
    SimpleDOM::write(out, b, "\t", true) << "|" << static_cast<const Node*>(nullptr);
    EXPECT_EQ("\t<b\n\t    a=\"\"\n\t    j=\"1 by reference\"\n\t    k=\"w\">t <&> \"q\"\n"
              "\t    <c>\n\t        <d/>\n\t    </c>\n\t</b>\n|",
              out.str());
}
// A caller's field width and fill, which formatted output would apply to the first string, pad
// nothing.
TEST(Writer, TheStreamsFieldWidthPadsNothing) {
    const Node leaf("a");
    std::ostringstream padded;
    padded << std::setw(8) << std::setfill('*') << &leaf;
    EXPECT_EQ("<a/>\n", padded.str());
}
// Takes `limit` characters, then fails like a full device.
struct LimitedBuffer : std::streambuf {
    explicit LimitedBuffer(std::size_t limit) : text(limit, '\0') { setp(&text[0], &text[limit]); }
    std::string text;
};
TEST(Writer, AFailedStreamIsReportedAtTheNextElement) {
    std::ostringstream failed;
    failed.setstate(std::ios::eofbit);
    EXPECT_EQ("Error: Stream is bad. @ 0",
              failure([&] { SimpleDOM::write(failed, nullptr, false); }));
    const Tree tree = own(new Node("a"));
    child(child(tree.get(), "b"), "x");
    child(tree.get(), "c");
    // The whole text is 48 characters; a failure shows when the next element is entered:
    // x (the first child of b), c (a sibling), or none when the last end tag fails.
    for (std::size_t limit : {6, 30, 47}) {
        LimitedBuffer buffer(limit);
        std::ostream out(&buffer);
        const std::string outcome = failure([&] { SimpleDOM::write(out, tree.get(), false); });
        EXPECT_EQ(limit == 47 ? kNothing : "Error: Stream is bad. @ 0", outcome) << limit;
        EXPECT_TRUE(out.bad());
    }
}
// A copy loses what the reader drops: whitespace-only text, text before a child.
TEST(Writer, CloneWritesAndReadsBack) {
    std::istringstream in("<a k=\"1\"><b j=\"2\">kept</b><c><d/></c></a>");
    const Tree tree = own(SimpleDOM::parse(in, false));
    tree->findElements("c")[0]->setText("lost");
    tree->findElements("d")[0]->setText(" \n");
    const Tree copy = own(tree->clone());
    EXPECT_EQ("<a k=\"1\">\n    <b j=\"2\">kept</b>\n    <c>\n        <d/>\n    </c>\n</a>\n",
              written(copy.get()));
    const Tree leaf = own(tree->getFirstChild()->clone());
    EXPECT_EQ(nullptr, leaf->getParent());
    EXPECT_EQ(nullptr, leaf->getNextSibling());
    Node broken("a"); // what the reader cannot read back reaches the caller, on its line
    broken.setAttribute("k", "1");
    broken.setAttribute("x<y", "2");
    EXPECT_EQ("Document not well-formed. (x) @ 1", failure([&] { broken.clone(); }));
}
const std::string kFailed = "' failed\\. value: 0, file: ";
TEST(Checks, ReplaceAPushBackWhenDormantAndReportTheirSitesWhenActive) {
    std::istringstream in("a b");
    StreamTokenizer tokenizer(in);
    {
        const ScopedEnv dormant("JASSERT", nullptr);
        tokenizer.pushBack("first");
        tokenizer.pushBack("second");
        EXPECT_EQ("second", tokenizer.nextToken());
    }
    const ScopedEnv active("JASSERT", "ON"), files("JASSERT_FILELIST", nullptr);
    Node node("n");
    EXPECT_DEATH(node.insertAfter(nullptr, &node),
                 "^JAssert 'the_sibling != 0" + kFailed + "SimpleDOM, line: 65\n");
    EXPECT_DEATH(node.insertBefore(nullptr, &node),
                 "^JAssert 'the_sibling != 0" + kFailed + "SimpleDOM, line: 96\n");
    tokenizer.pushBack("x");
    EXPECT_DEATH(tokenizer.pushBack("y"), "^JAssert 'its_pushback_token.length\\(\\) == 0" +
                                              kFailed + "StreamTokenizer, line: 73\n");
    EXPECT_EQ("x", tokenizer.nextToken());
    tokenizer.setMLCommentStart("/*");
    EXPECT_DEATH(tokenizer.nextToken(),
                 "^JAssert 'ml_end_length" + kFailed + "StreamTokenizer, line: 243\n");
}
// A million levels are read, searched and freed without recursion.
TEST(Reader, DeepDocuments) {
    std::string text;
    for (int i = 0; i < 2000000; ++i)
        text += i < 1000000 ? "<e>" : "</e>";
    std::istringstream deepText(text);
    const Tree deep = own(SimpleDOM::parse(deepText, false));
    const SimpleDOM::NodeList found = deep->findElements("e");
    ASSERT_EQ(999999u, found.size());
    EXPECT_EQ(deep->getFirstChild(), found.front());
    EXPECT_EQ(nullptr, found.back()->getFirstChild());
}
} // namespace
