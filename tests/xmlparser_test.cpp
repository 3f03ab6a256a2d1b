#include "vtsupport/text/SimpleDOM.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/TextSupport.h"

using SimpleDOM::Node;
using vttest::OwnedTree;

namespace {

Node* parseText(const std::string& text, bool keepWhitespaceText = false) {
    std::istringstream in(text);
    return SimpleDOM::parse(in, keepWhitespaceText);
}

std::string written(const Node* node) {
    std::ostringstream out;
    out << node;
    return out.str();
}

// The message and line of the failure, as "message @ line".
std::string failure(const std::string& text) {
    try {
        OwnedTree tree(parseText(text));
        return "no failure: " + written(tree.root);
    } catch (const SimpleDOM::ParseException& e) {
        return std::string(e.what()) + " @ " + std::to_string(e.its_line);
    }
}

TEST(XmlParser, StreamStateAndEmptyDocuments) {
    std::istringstream failed("<a/>");
    failed.setstate(std::ios::failbit);
    try {
        SimpleDOM::parse(failed, false);
        ADD_FAILURE() << "no exception";
    } catch (const SimpleDOM::ParseException& e) {
        EXPECT_STREQ("Error: Stream is bad.", e.what());
        EXPECT_EQ(0, e.its_line);
    }
    EXPECT_EQ(nullptr, parseText(""));
    EXPECT_EQ(nullptr, parseText("<?xml version=\"1.0\"?>\n<!-- only a comment -->\n"));
    EXPECT_EQ(nullptr, parseText("  \n<!DOCTYPE note SYSTEM \"note.dtd\">"));
}

TEST(XmlParser, ElementsAttributesAndText) {
    OwnedTree declared(parseText("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a/>"));
    ASSERT_NE(nullptr, declared.root);
    EXPECT_EQ("<a/>\n", written(declared.root));

    OwnedTree attributes(parseText("<a x=\"1\" y = \"2\" flag z=\"\"/>"));
    EXPECT_EQ("<a flag=\"\" x=\"1\" y=\"2\" z=\"\"/>\n", written(attributes.root));

    // End tags close whatever is open; a's text is what precedes its end tag.
    OwnedTree mismatched(parseText("<a>one</b>"));
    EXPECT_EQ("one", mismatched.root->getText());

    OwnedTree mixed(parseText("<a>p<b/>q</a>"));
    EXPECT_EQ("q", mixed.root->getText());
    EXPECT_EQ("", mixed.root->getFirstChild()->getText());

    OwnedTree nested(parseText("<a>\n  <b>t</b>\n  <c k=\"v\">u</c>\n</a>\n"));
    EXPECT_EQ("<a>\n    <b>t</b>\n    <c k=\"v\">u</c>\n</a>\n", written(nested.root));
    EXPECT_EQ(nested.root, nested.root->getFirstChild()->getNextSibling()->getParent());

    // Whitespace is collected from a start tag until an element closes.
    OwnedTree spaced(parseText("<r><a> x  y </a><b><c/>x y</b></r>"));
    EXPECT_EQ(" x  y ", spaced.root->findElements("a")[0]->getText());
    EXPECT_EQ("xy", spaced.root->findElements("b")[0]->getText());
}

TEST(XmlParser, NothingIsDecodedOrEscaped) {
    OwnedTree tree(parseText("<a v=\" <b> = &amp; 'q' \">x &lt; y; 1.5, a:b / = \"</a>"));
    EXPECT_EQ(" <b> = &amp; 'q' ", tree.root->getAttribute("v"));
    EXPECT_EQ("x &lt; y; 1.5, a:b / = \"", tree.root->getText());

    // Single quotes are word characters; ":" and "." split names.
    OwnedTree quoted(parseText("<a y='2'/>"));
    EXPECT_EQ("<a '2'=\"\"/>\n", written(quoted.root));
    OwnedTree prefixed(parseText("<p:a x.y=\"1\"/>"));
    EXPECT_EQ("<p .=\"\" :=\"\" a=\"\" x=\"\" y=\"1\"/>\n", written(prefixed.root));

    // A blank after "<" makes the name an attribute of the open element.
    OwnedTree blank(parseText("<r>< b/></r>"));
    EXPECT_EQ("<r b=\"\"/>\n", written(blank.root));

    // Comments must stand apart; neither compact comments nor CDATA are recognised.
    OwnedTree compact(parseText("<r><!-- a -- ><!--x--/><![CDATA[x]]/></r>"));
    EXPECT_EQ("<r>\n    <!--x--/>\n    <![CDATA[x]]/>\n</r>\n", written(compact.root));

    // Vertical tab and form feed are words to the reader.
    OwnedTree tab(parseText("<r>\v</r>", true));
    EXPECT_EQ("\v", tab.root->getText());
    OwnedTree inRun(parseText("<r>  \v \t x</r>"));
    EXPECT_EQ("  \v \t x", inRun.root->getText());
    OwnedTree dropped(parseText("<r>\v\f</r>"));
    EXPECT_EQ("", dropped.root->getText());
}

TEST(XmlParser, WhitespaceOnlyTextIsKeptOnlyOnRequest) {
    OwnedTree dropped(parseText("<a> \t\r\n</a>"));
    EXPECT_EQ("", dropped.root->getText());
    OwnedTree kept(parseText("<a> \t\r\n</a>", true));
    EXPECT_EQ(" \t\r\n", kept.root->getText());
    EXPECT_EQ("", SimpleDOM::normalizeText(" \n\t\v\f\r", false));
    EXPECT_EQ(" \n", SimpleDOM::normalizeText(" \n", true));
    EXPECT_EQ(" x ", SimpleDOM::normalizeText(" x ", false));
    EXPECT_EQ("\xa0", SimpleDOM::normalizeText("\xa0", false));
    EXPECT_EQ("", SimpleDOM::normalizeText("", true));
}

TEST(XmlParser, MalformedInputNamesTheOffendingTokenAndLine) {
    EXPECT_EQ("Document not well-formed. (a) @ 1", failure("<a<b>"));
    EXPECT_EQ("Document not well-formed. (a) @ 1", failure("<a>"));
    EXPECT_EQ("Document not well-formed. (a) @ 3", failure("<a>\n<b>\n</b>\n"));
    EXPECT_EQ("Document not well-formed. (a) @ 4",
              failure("<a>\r\n  <b>\r\n\t\t<c/>\n   </b>\n \n"));
    EXPECT_EQ("Document not well-formed. (>) @ 1", failure("<a>1 > 0</a>"));
    EXPECT_EQ("Document not well-formed. (--) @ 1", failure("<!-- one -- two -->"));
    EXPECT_EQ("Document not well-formed. (x) @ 2", failure("<!--\nx\n\n"));
    EXPECT_EQ("Document not well-formed. (version) @ 1", failure("<?xml version"));
    EXPECT_EQ("Document not well-formed. (?) @ 1", failure("<?a ? b?>"));
    EXPECT_EQ("Document not well-formed. (html) @ 1", failure("<!DOCTYPE html"));
    EXPECT_EQ("Document not well-formed. (StreamTokenizer::TT_EOF) @ 1", failure("<a x=\"abc"));
    // An internal subset ends the declaration at its first ">".
    EXPECT_EQ("Document not well-formed. (>) @ 3",
              failure("<!DOCTYPE r [\n<!ENTITY e \"v\">\n]>\n<r/>"));
}

TEST(XmlParser, RulesNeedingAnOpenElementFailWhenNoneIsOpen) {
    EXPECT_EQ("Document not well-formed. (b) @ 2", failure("<a/>\n<b/>"));
    EXPECT_EQ("Document not well-formed. (a) @ 1", failure("< a>"));
    EXPECT_EQ("Document not well-formed. (k) @ 1", failure("< k=\"v\">"));
    EXPECT_EQ("Document not well-formed. (\") @ 1", failure("<=\"v\">"));
    EXPECT_EQ("Document not well-formed. (x) @ 1", failure("<a/>x</a>"));
    // An end tag with nothing open and no text is harmless.
    EXPECT_EQ("no failure: <a/>\n", failure("<a/></b>"));
}

TEST(XmlParser, CloneWritesAndReadsBack) {
    OwnedTree tree(parseText("<a k=\"1\">lost<b j=\"2\">kept</b><c> </c></a>"));
    tree.root->getAttribute("empty");
    OwnedTree copy(tree.root->clone());
    ASSERT_NE(nullptr, copy.root);
    EXPECT_NE(tree.root, copy.root);
    EXPECT_EQ("", copy.root->getText());
    EXPECT_EQ("<a empty=\"\" k=\"1\">\n    <b j=\"2\">kept</b>\n    <c/>\n</a>\n",
              written(copy.root));

    Node* b = tree.root->getFirstChild();
    OwnedTree leaf(b->clone());
    EXPECT_EQ(nullptr, leaf.root->getParent());
    EXPECT_EQ("kept", leaf.root->getText());
    EXPECT_EQ(nullptr, leaf.root->getNextSibling());

    // What the reader cannot read back reaches the caller.
    Node broken("a<b");
    EXPECT_THROW(broken.clone(), SimpleDOM::ParseException);

    // A value without a name, read where no name came before, is written as
    // ` ="v"` and read back under the last name written before it.
    OwnedTree nameless(parseText("<b =\"v\"/>"));
    EXPECT_EQ("<b =\"v\"/>\n", written(nameless.root));
    OwnedTree parent(new Node("r"));
    parent.root->setAttribute("c", "");
    parent.root->appendChild(nameless.root);
    OwnedTree renamed(parent.root->clone());
    parent.root->removeChild(nameless.root);
    EXPECT_EQ("<r c=\"\">\n    <b c=\"v\"/>\n</r>\n", written(renamed.root));
    OwnedTree alone(nameless.root->clone());
    EXPECT_EQ("<b =\"v\"/>\n", written(alone.root));
}

TEST(XmlParser, AMillionSiblingsAreReadInOnePass) {
    const int count = 1000000;
    std::istringstream in(vttest::wideDocument(count));
    OwnedTree tree(SimpleDOM::parse(in, false));
    int seen = 0;
    const Node* previous = nullptr;
    for (const Node* e = tree.root->getFirstChild(); e != nullptr; e = e->getNextSibling()) {
        ASSERT_EQ(previous, e->getPreviousSibling());
        ASSERT_EQ(tree.root, e->getParent());
        previous = e;
        ++seen;
    }
    EXPECT_EQ(count, seen);
    EXPECT_EQ(static_cast<std::size_t>(count), tree.root->findElements("e").size());
}

TEST(XmlParser, AMillionLevelsAreReadSearchedAndFreed) {
    const int depth = 1000000;
    std::istringstream in(vttest::nestedDocument(depth));
    OwnedTree tree(SimpleDOM::parse(in, false));
    const SimpleDOM::NodeList found = tree.root->findElements("e");
    ASSERT_EQ(static_cast<std::size_t>(depth - 1), found.size());
    EXPECT_EQ(tree.root->getFirstChild(), found.front());
    EXPECT_EQ(nullptr, found.back()->getFirstChild());
}

TEST(XmlParser, TenThousandLevelsAreWrittenAndCloned) {
    const int depth = 10000;
    std::istringstream in(vttest::nestedDocument(depth));
    OwnedTree tree(SimpleDOM::parse(in, false));
    vttest::DigestBuffer expected;
    std::ostream out(&expected);
    vttest::writeExpectedChain(out, depth);
    const vttest::DigestBuffer actual = vttest::digestOfWrite(tree.root);
    EXPECT_EQ(expected.its_size, actual.its_size);
    EXPECT_EQ(expected.its_hash, actual.its_hash);

    OwnedTree copy(tree.root->clone());
    const vttest::DigestBuffer copied = vttest::digestOfWrite(copy.root);
    EXPECT_EQ(expected.its_size, copied.its_size);
    EXPECT_EQ(expected.its_hash, copied.its_hash);
}

TEST(XmlParser, FailuresFreeThePartialTree) {
    // Run under the sanitizer leg, these would report leaks if the tree were kept.
    EXPECT_THROW(parseText("<a><b x=\"1\"><c>text"), SimpleDOM::ParseException);
    EXPECT_THROW(parseText("<a><b/><c>1 > 0</c></a>"), SimpleDOM::ParseException);
    EXPECT_THROW(parseText("<a></a><b><c/></b>"), SimpleDOM::ParseException);
    EXPECT_THROW(parseText(vttest::nestedDocument(100000).substr(0, 600000)),
                 SimpleDOM::ParseException);
}

} // namespace
