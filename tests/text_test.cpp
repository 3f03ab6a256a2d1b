// Text reading: the tokenizer, the reader, the element tree and its writer. The
// tokenizer and reader tables run every row through a string stream, buffers that
// hand out one or three characters per refill and one that keeps no get area at
// all: both take runs of characters straight from the buffer when it holds them.
#include <algorithm>
#include <functional>
#include <ios>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>

#include <gtest/gtest.h>

#include "support/Support.h"
#include "support/TrickleBuffer.h"
#include "vtsupport/text/SimpleDOM.h"
#include "vtsupport/text/StreamTokenizer.h"
#include "vtsupport/text/detail/XmlTokenizerSettings.h"

namespace {
using SimpleDOM::Node;
using Tree = std::unique_ptr<Node, void (*)(Node*)>;
using vttest::ScopedEnv;
const auto own = [](Node* root) { return Tree(root, SimpleDOM::deleteTree); };
// What `read` makes of `text` through each kind of buffer; they must agree.
std::string throughEachBuffer(const std::string& text,
                              const std::function<std::string(std::istream&)>& read) {
    std::istringstream whole(text);
    const std::string outcome = read(whole);
    for (std::size_t piece : {0, 1, 3}) {
        vttest::TrickleBuffer buffer(text, piece == 0, piece);
        std::istream in(&buffer);
        EXPECT_EQ(outcome, read(in)) << "pieces of " << piece;
    }
    return outcome;
}
// Settings as words: "o=", "q=", "e=", "s=", "m=", "n=" set the ordinary and quote
// characters, the escape, the single-line comment start and the multi-line start
// and end; "w" turns whitespace tokens on; "x" is the reader's set-up.
void configure(StreamTokenizer& tokenizer, const std::string& settings) {
    using Set = void (StreamTokenizer::*)(const std::string&);
    const std::map<char, Set> setters = {{'o', &StreamTokenizer::setOrdinaryChars},
                                         {'q', &StreamTokenizer::setQuoteChars},
                                         {'s', &StreamTokenizer::setSLCommentStart},
                                         {'m', &StreamTokenizer::setMLCommentStart},
                                         {'n', &StreamTokenizer::setMLCommentEnd}};
    std::istringstream words(settings);
    for (std::string word; words >> word;) {
        const std::string value = word.substr(std::min<std::size_t>(word.size(), 2));
        if (setters.count(word[0]) != 0)
            (tokenizer.*setters.at(word[0]))(value);
        else if (word[0] == 'e')
            tokenizer.setEscapeChar(value[0]);
        else
            word[0] == 'w' ? tokenizer.setWhitespaceTokens(true)
                           : vtsupport::detail::configureForXml(tokenizer);
    }
}
// The tokens joined by "|", each followed by "@" and lineno() where that changed.
std::string tokens(std::istream& in, const std::string& settings) {
    StreamTokenizer tokenizer(in);
    configure(tokenizer, settings);
    std::string all;
    int line = 1;
    for (int i = 0; i < 100; ++i) {
        const std::string token = tokenizer.nextToken();
        if (token == StreamTokenizer::TT_EOF)
            return tokenizer.nextToken() == StreamTokenizer::TT_EOF ? all : all + "(not ended)";
        all += (all.empty() && i == 0 ? "" : "|") + token;
        if (tokenizer.lineno() != line)
            all += "@" + std::to_string(line = tokenizer.lineno());
    }
    return all + "(endless)";
}
struct TokenRow {
    const char* settings;
    const char* input;
    const char* expected;
};
const TokenRow tokenRows[] = {
    {"", "", ""},
    {"", "a, b\n", "a|,|b"},
    {"", " \t\va..b\r\f", "a|.|.|b"},
    {"o=", "x.y", "x.y"},
    {"", "last", "last"},
    {"", "a;", "a|;"},
    {"", "a\nb\n,\n'q'\n\nc", "a|b@2|,|'|q|'|c@6"},
    {"w", "a \tb\r\n", "a| |\t|b|\r|\n"},
    {"", "say 'hi there'\n", "say|'|hi there|'"},
    {"", "''", "'||'"},
    {"", "ab\"cd\" ", "ab|\"|cd|\""},
    {"", "'open text", "'|open text"},
    {"", "\"a 'b\" c", "\"|a |'|b|\"|c"},
    {"s=#", "\"a, b;\n#x'c", "\"|a, b;\n#x|'|c@2"},
    {"q=", "'a b'", "'a|b'"},
    {"q=%", "%a b%", "%|a b|%"},
    {"", "\\ \"x\"", "\\|\"x\""},
    {"o=\\,", "\\\"x\" \"y\"", "\\|\"x\"|\"|y|\""},
    {"o=/ e=/", "/'q'", "/|'q'"},
    {"o=/ e=/", "'q'", "'|q|'"},
    {"s=#", "ab#c 'q' ,\nd\n", "ab|d@2"},
    {"s=#", "ab#cut off", "ab"},
    {"s=//", "a //c\nb", "a|b@2"},
    {"s=;", "a;b", "a|;|b"},
    {"m=/* n=*/", "a/* x, 'y' ; */b\n", "a|b"},
    {"m=/* n=*/", "/* * / */q", "*/q"},
    {"m=/* n=*/", "/* *,/ w", "w"},
    {"m=/* n=*/", "a/*/ b", "a|b"},
    {"m=/* n=*/", "a/*never closed", "a"},
    {"m=/* n=*/", "/*never closed", ""},
    {"m=/* n=*/", "/*\n\n*/w\nv", "w@3|v@4"},
    {"m=/* n=*/ w", "a /*\n*/ b", "a| | |b@2"},
    // Both markers can match on one character: each comment ends by its own rule.
    {"s=* m=/* n=*/", "a/*b*/c d\ne", "a|c|d|e@2"},
    {"s=* m=/* n=*/", "a/*b\nc*/d e", "a|c@2"},
    {"s=/* m=* n=*/", "a/*b\nc*/d e", "a/|c@2|d|e"},
    {"s=b m=ab n=z w", "x ab;c z, d\ne f", "x| |,| |d|\n|e@2| |f"},
    {"s=b m=ab n=z", "x ab c\nd z e", "x|a@2"},
    {"s=b m=ab n=z", "ab c\nd", "a"},
    {"", "alpha beta, \"quoted text\" 'q'\n\n  gamma;delta\t\\\"x\" <tag attr=\"v\">\nlast",
     "alpha|beta|,|\"|quoted text|\"|'|q|'|gamma@3|;|delta|\\|\"|x|\"|<tag|attr=|\"|v|\"|>|last@4"},
    {"x", "<a x=\"1\">t t</a>\n", "<|a| |x|=|\"|1|\"|>|t| |t|<|/|a|>|\n"},
};
TEST(Tokenizer, EachRowGivesItsTokensAndLinesThroughEveryBuffer) {
    const ScopedEnv dormant("JASSERT", nullptr);
    for (const TokenRow& row : tokenRows) {
        const std::string settings = row.settings;
        EXPECT_EQ(
            row.expected,
            throughEachBuffer(row.input, [&](std::istream& in) { return tokens(in, settings); }))
            << "settings \"" << row.settings << "\", input \"" << row.input << '"';
    }
}
// A token read ahead (the blank that ended a word) or pushed back is handed out as
// it is, whatever the settings say by then; one token can be pushed back.
TEST(Tokenizer, PendingAndPushedBackTokensComeBackAsTheyWere) {
    const ScopedEnv dormant("JASSERT", nullptr);
    std::istringstream in("ab cd  ef");
    StreamTokenizer tokenizer(in);
    tokenizer.setWhitespaceTokens(true);
    EXPECT_EQ("ab", tokenizer.peekToken());
    EXPECT_EQ("ab", tokenizer.nextToken());
    tokenizer.setWhitespaceTokens(false);
    EXPECT_EQ(" ", tokenizer.nextToken());
    tokenizer.pushBack(""); // no effect
    EXPECT_EQ("cd", tokenizer.nextToken());
    tokenizer.setWhitespaceTokens(true); // the blank that ended cd is gone
    EXPECT_EQ(" ", tokenizer.nextToken());
    tokenizer.pushBack("first");
    tokenizer.pushBack("second"); // a dormant check: it replaces the first
    EXPECT_EQ("second", tokenizer.nextToken());
    EXPECT_EQ("ef", tokenizer.nextToken());
    EXPECT_EQ(StreamTokenizer::TT_EOF, tokenizer.nextToken());
    tokenizer.pushBack("again");
    EXPECT_EQ("again", tokenizer.nextToken());
    EXPECT_EQ(StreamTokenizer::TT_EOF, tokenizer.nextToken());
}
TEST(Tokenizer, ClassifyAndReadFollowTheSettings) {
    std::istringstream in(std::string("a\xff", 2));
    StreamTokenizer tokenizer(in);
    const std::pair<int, int> classes[] = {{'a', 4}, {'\v', 5}, {' ', 5}, {':', 2}, {'\'', 3},
                                           {'"', 3}, {-1, 4},   {256, 4}, {255, 4}};
    for (const auto& c : classes)
        EXPECT_EQ(c.second, tokenizer.classify(c.first)) << c.first;
    tokenizer.setOrdinaryChars(std::string("a\0", 2));
    tokenizer.setQuoteChars("");
    EXPECT_EQ(StreamTokenizer::CC_ORDINARY, tokenizer.classify('a'));
    EXPECT_EQ(StreamTokenizer::CC_ORDINARY, tokenizer.classify(0));
    EXPECT_EQ(StreamTokenizer::CC_WORD, tokenizer.classify(':'));
    EXPECT_EQ(StreamTokenizer::CC_WORD, tokenizer.classify('"'));
    EXPECT_EQ('a', tokenizer.read());
    EXPECT_EQ(255, tokenizer.read());
    EXPECT_EQ(-1, tokenizer.read());
    EXPECT_TRUE(in.eof());
    EXPECT_EQ(-1, tokenizer.read());
    std::istringstream failed("abc");
    failed.setstate(std::ios::failbit);
    EXPECT_EQ(StreamTokenizer::TT_EOF, StreamTokenizer(failed).nextToken());
}
// Output that shows only what has been flushed, as a terminal shows a prompt.
struct FlushedOnly : std::stringbuf {
    int sync() override {
        shown += str();
        str("");
        return 0;
    }
    std::string shown;
};
TEST(Tokenizer, ATiedOutputStreamIsFlushedBeforeTheInputIsRead) {
    FlushedOnly screen;
    std::ostream prompt(&screen);
    std::istringstream in("42 7");
    in.tie(&prompt);
    StreamTokenizer tokenizer(in);
    prompt << "first? ";
    EXPECT_EQ("42", tokenizer.nextToken());
    EXPECT_EQ("first? ", screen.shown);
    prompt << "second? ";
    EXPECT_EQ("7", tokenizer.nextToken());
    EXPECT_EQ("first? second? ", screen.shown);
}
// The ParseException that `action` throws (copied, as handlers may), as "message @ line".
std::string failure(const std::function<void()>& action) {
    try {
        action();
    } catch (const SimpleDOM::ParseException& e) {
        const SimpleDOM::ParseException copy(e);
        return std::string(static_cast<const std::exception&>(copy).what()) + " @ " +
               std::to_string(copy.its_line);
    }
    return "(nothing thrown)";
}
// What the reader makes of a document: the tree written back, "(none)" for no
// element at all, or the failure as "message @ line".
std::string parsed(std::istream& in, bool keepWhitespaceText) {
    try {
        const Tree root = own(SimpleDOM::parse(in, keepWhitespaceText));
        std::ostringstream out;
        out << root.get();
        return root ? out.str() : "(none)";
    } catch (const SimpleDOM::ParseException& e) {
        return std::string(e.what()) + " @ " + std::to_string(e.its_line);
    }
}
struct ReaderRow {
    const char* input;
    const char* expected;
    bool keepWhitespaceText = false;
};
const std::string bad = "Document not well-formed. ";
const ReaderRow readerRows[] = {
    {"", "(none)"},
    {"<?xml version=\"1.0\"?>\n<!-- only a comment -->\n", "(none)"},
    {"  \n<!DOCTYPE note SYSTEM \"note.dtd\">", "(none)"},
    {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a/>", "<a/>\n"},
    {"<a x=\"1\" y = \"2\" flag z=\"\"/>", "<a flag=\"\" x=\"1\" y=\"2\" z=\"\"/>\n"},
    {"<a>one</b>", "<a>one</a>\n"},
    {"<a>p<b/>q</a>", "<a>q\n    <b/>\n</a>\n"},
    {"<a>\n  <b>t</b>\n  <c k=\"v\">u</c>\n</a>\n",
     "<a>\n    <b>t</b>\n    <c k=\"v\">u</c>\n</a>\n"},
    {"<r><a> x  y </a><b><c/>x y</b></r>",
     "<r>\n    <a> x  y </a>\n    <b>xy\n        <c/>\n    </b>\n</r>\n"},
    {"<a v=\" <b> = &amp; 'q' \">x &lt; y; 1.5, a:b / = \"</a>",
     "<a v=\" <b> = &amp; 'q' \">x &lt; y; 1.5, a:b / = \"</a>\n"},
    {"<a y='2'/>", "<a '2'=\"\"/>\n"},
    {"<p:a x.y=\"1\"/>", "<p .=\"\" :=\"\" a=\"\" x=\"\" y=\"1\"/>\n"},
    {"<a k = \"v\" k=\"w\"/>", "<a k=\"w\"/>\n"},
    {"<r>< b/></r>", "<r b=\"\"/>\n"},
    {"<r><!-- a -- ><!--x--/><![CDATA[x]]/></r>", "<r>\n    <!--x--/>\n    <![CDATA[x]]/>\n</r>\n"},
    {"<r>  \v \t x</r>", "<r>  \v \t x</r>\n"},
    {"<r>\v\f</r>", "<r/>\n"},
    {"<a> \t\r\n</a>", "<a/>\n"},
    {"<a> \t\r\n</a>", "<a> \t\r\n</a>\n", true},
    {"<r>\v</r>", "<r>\v</r>\n", true},
    {"<a>\n<b/>\n</a>", "<a>\n    <b/>\n</a>\n", true},
    {"<a>\n x\n</a>", "<a>\n x\n</a>\n"},
    {"<a><b>x</b>\n y \n</a>", "<a>y\n    <b>x</b>\n</a>\n"},
    {"<?xml version=\"1.0\"?>\n<!-- a\n comment -->\n<a x=\"1\"\n   y = \"two\nlines\">\n"
     "  some text;, with: marks = \"q\" / and\ttabs\r\n  <b k=\"&amp;\"/>tail words\n</a>\n",
     "<a x=\"1\" y=\"two\nlines\">tailwords\n    <b k=\"&amp;\"/>\n</a>\n"},
    {"<a/></b>", "<a/>\n"},
    {"<r><a>x</a\n>y</r>", "<r>y\n    <a>x</a>\n</r>\n"},
    {"<?a b? >\n<r/>", "<r/>\n"},
    {"<a>x<?p?> y z</a>", "<a>x y z</a>\n"},
    {"<r><!-- c -- \n><!-- c !--></r>", "Document not well-formed. (>) @ 2"},
    {"<a<b>", "Document not well-formed. (a) @ 1"},
    {"<a>", "Document not well-formed. (a) @ 1"},
    {"<r>\n  <s>\n   end", "Document not well-formed. (s) @ 3"},
    {"<r><p>word</p>\n\n\n<q>1 > 0</q></r>", "Document not well-formed. (>) @ 4"},
    {"<!-- one -- two -->", "Document not well-formed. (--) @ 1"},
    {"<!--\nx\n\n", "Document not well-formed. (x) @ 2"},
    {"<?a ? b?>", "Document not well-formed. (?) @ 1"},
    {"<!DOCTYPE html \n", "Document not well-formed. (html) @ 1"},
    {"<?xml version \n", "Document not well-formed. (version) @ 1"},
    {"<!--\nx \n\n", "Document not well-formed. (x) @ 2"},
    {"<!DOCTYPE r [\n<!ENTITY e \"v\">\n]>\n<r/>", "Document not well-formed. (>) @ 3"},
    {"<r>\n<p v=\"open\n\n", "Document not well-formed. (StreamTokenizer::TT_EOF) @ 2"},
    {"<a/>\n<b/>", "Document not well-formed. (b) @ 2"},
    {"< a>", "Document not well-formed. (a) @ 1"},
    {"< k=\"v\">", "Document not well-formed. (k) @ 1"},
    {"<=\"v\">", "Document not well-formed. (\") @ 1"},
    {"<a/>x</a>", "Document not well-formed. (x) @ 1"},
    {"x\ny/>", "Document not well-formed. (>) @ 2"},
};
TEST(Reader, EachRowGivesItsTreeOrFailureThroughEveryBuffer) {
    for (const ReaderRow& row : readerRows)
        EXPECT_EQ(row.expected, throughEachBuffer(row.input,
                                                  [&](std::istream& in) {
                                                      return parsed(in, row.keepWhitespaceText);
                                                  }))
            << row.input;
}
// A stream that failed before is refused; one that fails while read (a source
// whose character can be seen but never taken) ends the input there.
TEST(Reader, AStreamThatFailedIsRefusedAndOneThatFailsLaterEnds) {
    std::istringstream failed("<a/>");
    failed.setstate(std::ios::failbit);
    EXPECT_EQ("Error: Stream is bad. @ 0", parsed(failed, false));
    struct BrokenSource : std::streambuf {
        int_type underflow() override { return 'a'; }
        int_type uflow() override { throw std::runtime_error("device gone"); }
    } source, forReader;
    std::istream in(&source), document(&forReader);
    EXPECT_EQ(StreamTokenizer::TT_EOF, StreamTokenizer(in).nextToken());
    EXPECT_EQ("(none)", parsed(document, false));
    EXPECT_TRUE(in.bad() && document.bad());
    EXPECT_EQ("", SimpleDOM::normalizeText(" \n\t\v\f\r", false));
    EXPECT_EQ(" \n", SimpleDOM::normalizeText(" \n", true));
    EXPECT_EQ(" x ", SimpleDOM::normalizeText(" x ", false));
    EXPECT_EQ("\xa0", SimpleDOM::normalizeText("\xa0", false));
}
Node* child(Node* parent, const std::string& name) {
    Node* node = new Node(name);
    parent->appendChild(node);
    return node;
}
// The children's names, each checked to point back at the parent and its neighbour.
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
std::string written(const Node* node, bool separateLines = false) {
    std::ostringstream out;
    SimpleDOM::write(out, node, separateLines);
    return out.str();
}
TEST(Tree, LinkingKeepsTheChainAndParentsConsistent) {
    const Tree tree = own(new Node("r"));
    Node* r = tree.get();
    r->appendChild(nullptr);
    EXPECT_EQ("", children(r));
    Node* b = child(r, "b");
    Node* d = child(r, "d");
    Node* a = new Node("a");
    Node* c = new Node("c");
    Node* e = new Node("e");
    Node* x = new Node("x");
    r->insertBefore(b, a); // the new first child
    r->insertAfter(b, c);  // in the middle
    r->insertAfter(d, e);  // the tail
    r->insertBefore(c, x); // in the middle: the first child stays
    EXPECT_EQ("a,b,x,c,d,e", children(r));
    r->removeChild(x);
    r->removeChild(a); // the head: the second child becomes the first
    r->removeChild(e); // the tail
    r->removeChild(nullptr);
    EXPECT_EQ("b,c,d", children(r));
    EXPECT_EQ(r, a->getParent()); // a removed node keeps its links
    EXPECT_EQ(b, a->getNextSibling());
    EXPECT_EQ(c, x->getNextSibling());
    EXPECT_EQ(b, x->getPreviousSibling());
    for (Node* removed : {a, x, e})
        SimpleDOM::deleteTree(removed);
    Node* f = child(r, "f"); // appending after edits still finds the tail
    EXPECT_EQ("b,c,d,f", children(r));
    EXPECT_EQ("", children(f));
    Node other("other");
    b->setParent(&other); // changes no chain
    EXPECT_EQ(&other, b->getParent());
    EXPECT_EQ(b, r->getFirstChild());
    SimpleDOM::deleteTree(nullptr);
}
TEST(Tree, FindElementsAndAttributes) {
    const Tree tree = own(new Node("x"));
    Node* a = child(tree.get(), "x");
    child(a, "y");
    Node* inner = child(a, "x");
    child(inner, "x");
    child(tree.get(), "X");
    Node* last = child(child(tree.get(), "b"), "x");
    // Document order, without the node itself, case-sensitive.
    EXPECT_EQ((SimpleDOM::NodeList{a, inner, inner->getFirstChild(), last}),
              tree->findElements("x"));
    EXPECT_EQ(1u, tree->findElements("X").size());
    EXPECT_TRUE(tree->findElements("z").empty());
    EXPECT_TRUE(last->findElements("x").empty());
    Node node("n");
    node.setAttribute("b", "2");
    node.setAttribute("a", "1");
    node.setAttribute("B", "0");
    node.setAttribute("b", "two");
    node.getAttributes()["a"] = "changed in a copy";
    EXPECT_EQ("", node.getAttribute("missing")); // reading adds it
    node.getAttribute("a") += " by reference";
    EXPECT_EQ("<n B=\"0\" a=\"1 by reference\" b=\"two\" missing=\"\"/>\n", written(&node));
}
TEST(Writer, WritesTheDocumentedShapesExactly) {
    const Tree tree = own(new Node("a"));
    tree->setAttribute("y", "2");
    tree->setAttribute("x", "1");
    child(tree.get(), "b")->setText("hi");
    Node* c = child(tree.get(), "c");
    EXPECT_EQ("<a x=\"1\" y=\"2\">\n    <b>hi</b>\n    <c/>\n</a>\n", written(tree.get()));
    EXPECT_EQ("<a\n    x=\"1\"\n    y=\"2\">\n    <b>hi</b>\n    <c/>\n</a>\n",
              written(tree.get(), true));
    // Text and children: the text right after the tag, the end tag at the element's indent.
    c->setText("t <&> \"q\"");
    Node* d = child(c, "d");
    d->setAttribute("k", "v");
    child(d, "e");
    std::ostringstream out;
    SimpleDOM::write(out, c, "\t", true)
        << "|" << static_cast<const Node*>(d) << "|" << static_cast<const Node*>(nullptr);
    EXPECT_EQ("\t<c>t <&> \"q\"\n\t    <d\n\t        k=\"v\">\n\t        <e/>\n\t    </d>\n\t</c>\n"
              "|<d k=\"v\">\n    <e/>\n</d>\n|",
              out.str());
}
// Accepts `limit` characters, then fails like a full device.
struct LimitedBuffer : std::streambuf {
    explicit LimitedBuffer(std::size_t the_limit) : limit(the_limit) {}
    int_type overflow(int_type c) override {
        if (c == traits_type::eof() || text.size() >= limit)
            return traits_type::eof();
        text += static_cast<char>(c);
        return c;
    }
    std::size_t limit;
    std::string text;
};
TEST(Writer, AFailedStreamIsReportedAtTheNextElement) {
    Node node("n");
    std::ostringstream failed;
    failed.setstate(std::ios::eofbit);
    for (const Node* target : {static_cast<const Node*>(&node), static_cast<const Node*>(nullptr)})
        EXPECT_EQ("Error: Stream is bad. @ 0",
                  failure([&] { SimpleDOM::write(failed, target, false); }));
    const Tree tree = own(new Node("a"));
    child(child(tree.get(), "b"), "x");
    child(tree.get(), "c");
    // The whole text is 48 characters; a failure shows when the next element is entered:
    // x (the first child of b), c (a sibling), or none when the last end tag fails.
    const std::pair<std::size_t, const char*> limits[] = {
        {6, "<a>\n  "}, {30, "<a>\n    <b>\n        <x/>\n    <"}, {47, nullptr}};
    for (const auto& limit : limits) {
        LimitedBuffer buffer(limit.first);
        std::ostream out(&buffer);
        if (limit.second != nullptr) {
            EXPECT_THROW(SimpleDOM::write(out, tree.get(), false), SimpleDOM::ParseException);
            EXPECT_EQ(limit.second, buffer.text);
        } else {
            EXPECT_NO_THROW(SimpleDOM::write(out, tree.get(), false));
            EXPECT_TRUE(out.bad());
        }
    }
}
TEST(Writer, CloneWritesAndReadsBack) {
    std::istringstream in("<a k=\"1\">lost<b j=\"2\">kept</b><c> </c></a>");
    const Tree tree = own(SimpleDOM::parse(in, false));
    tree->getAttribute("empty");
    const Tree copy = own(tree->clone());
    EXPECT_NE(tree.get(), copy.get());
    EXPECT_EQ("<a empty=\"\" k=\"1\">\n    <b j=\"2\">kept</b>\n    <c/>\n</a>\n",
              written(copy.get()));
    tree->findElements("c")[0]->setText(" \n"); // whitespace-only text does not survive
    EXPECT_EQ("<c/>\n", written(own(tree->findElements("c")[0]->clone()).get()));
    const Tree leaf = own(tree->getFirstChild()->clone());
    EXPECT_EQ(nullptr, leaf->getParent());
    EXPECT_EQ(nullptr, leaf->getNextSibling());
    EXPECT_EQ("kept", leaf->getText());
    Node broken("a<b"); // what the reader cannot read back reaches the caller
    EXPECT_THROW(broken.clone(), SimpleDOM::ParseException);
    // A value without a name is written as ` ="v"` and read back under the last name before it.
    std::istringstream nameless("<r c=\"\"><b =\"v\"/></r>");
    const Tree renamed = own(own(SimpleDOM::parse(nameless, false))->clone());
    EXPECT_EQ("<r c=\"\">\n    <b c=\"v\"/>\n</r>\n", written(renamed.get()));
}
TEST(Tree, ChecksOnANullSiblingDoNothingWhenDormantAndReportTheirSitesWhenActive) {
    const Tree tree = own(new Node("r"));
    Node orphan("o");
    {
        const ScopedEnv dormant("JASSERT", nullptr);
        tree->insertAfter(nullptr, &orphan);
        tree->insertBefore(nullptr, &orphan);
        EXPECT_EQ(nullptr, tree->getFirstChild());
        EXPECT_EQ(nullptr, orphan.getParent());
        // An empty end marker ends a comment at the next word character.
        std::istringstream comment("a/*xb c");
        EXPECT_EQ("a|b|c", tokens(comment, "m=/*"));
    }
    const ScopedEnv active("JASSERT", "ON");
    const ScopedEnv list("JASSERT_FILELIST", "SimpleDOM,StreamTokenizer");
    const std::string failed = "' failed\\. value: 0, file: ";
    EXPECT_DEATH(tree->insertAfter(nullptr, &orphan),
                 "^JAssert 'the_sibling != 0" + failed + "SimpleDOM, line: 65\n");
    EXPECT_DEATH(tree->insertBefore(nullptr, &orphan),
                 "^JAssert 'the_sibling != 0" + failed + "SimpleDOM, line: 96\n");
    std::istringstream in("a b");
    StreamTokenizer tokenizer(in);
    tokenizer.pushBack("x");
    EXPECT_DEATH(tokenizer.pushBack("y"), "^JAssert 'its_pushback_token.length\\(\\) == 0" +
                                              failed + "StreamTokenizer, line: 73\n");
    EXPECT_EQ("x", tokenizer.nextToken());
    tokenizer.setMLCommentStart("/*");
    EXPECT_DEATH(tokenizer.nextToken(),
                 "^JAssert 'ml_end_length" + failed + "StreamTokenizer, line: 243\n");
}
// "<e>" depth times, then "</e>" depth times.
std::string nested(int depth) {
    std::string text;
    for (int i = 0; i < 2 * depth; ++i)
        text += i < depth ? "<e>" : "</e>";
    return text;
}
// A million levels are read, searched and freed without recursion, and a failure
// frees what was built (a partial tree kept would be a leak under the sanitizer leg).
TEST(Reader, DeepDocuments) {
    std::istringstream deepText(nested(1000000));
    const Tree deep = own(SimpleDOM::parse(deepText, false));
    const SimpleDOM::NodeList found = deep->findElements("e");
    ASSERT_EQ(999999u, found.size());
    EXPECT_EQ(deep->getFirstChild(), found.front());
    EXPECT_EQ(nullptr, found.back()->getFirstChild());
    // Ten thousand levels written (a Windows thread has 1 MiB of stack): level l as 4l
    // blanks and "<e>\n" and as 4l blanks and "</e>\n", the innermost as "<e/>\n".
    struct CountingBuffer : std::streambuf {
        std::streamsize size = 0;
        std::streamsize xsputn(const char*, std::streamsize n) override { return size += n, n; }
    } written;
    std::istringstream chain(nested(10000));
    std::ostream(&written) << own(SimpleDOM::parse(chain, false)).get();
    EXPECT_EQ(4LL * 9999 * 9998 + 13 * 9999 + 5, written.size);
    std::istringstream cut(nested(100000).substr(0, 600000));
    EXPECT_THROW(SimpleDOM::parse(cut, false), SimpleDOM::ParseException);
}
} // namespace
