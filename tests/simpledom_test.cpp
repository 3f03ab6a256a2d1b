#include "vtsupport/text/SimpleDOM.h"

#include <gtest/gtest.h>

#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "support/TestSupport.h"

using SimpleDOM::Node;
using SimpleDOM::NodeList;

namespace {

// Owns a tree for the length of a test.
struct Tree {
    Node* root;
    explicit Tree(Node* the_root) : root(the_root) {}
    ~Tree() { SimpleDOM::deleteTree(root); }
};

Node* child(Node* parent, const std::string& name) {
    Node* node = new Node(name);
    parent->appendChild(node);
    return node;
}

std::string names(const NodeList& nodes) {
    std::string joined;
    for (const Node* node : nodes)
        joined += (joined.empty() ? "" : ",") + node->getName();
    return joined;
}

std::string written(const Node* node, bool separateLines = false) {
    std::ostringstream out;
    SimpleDOM::write(out, node, separateLines);
    return out.str();
}

// Accepts `limit` characters, then fails like a full device.
class LimitedBuffer : public std::streambuf {
public:
    explicit LimitedBuffer(std::size_t the_limit) : its_limit(the_limit) {}
    std::string its_text;

protected:
    int overflow(int c) override {
        if (c == traits_type::eof() || its_text.size() >= its_limit)
            return traits_type::eof();
        its_text += static_cast<char>(c);
        return c;
    }

private:
    std::size_t its_limit;
};

TEST(SimpleDOMTree, LinkingKeepsTheChainAndParentsConsistent) {
    Tree tree(new Node("r"));
    Node* r = tree.root;
    r->appendChild(nullptr);
    EXPECT_EQ(nullptr, r->getFirstChild());
    Node* b = child(r, "b");
    Node* d = child(r, "d");
    EXPECT_EQ(nullptr, b->getPreviousSibling());
    EXPECT_EQ(d, b->getNextSibling());
    EXPECT_EQ(b, d->getPreviousSibling());
    EXPECT_EQ(r, d->getParent());

    Node* a = new Node("a");
    r->insertBefore(b, a); // becomes the first child
    Node* c = new Node("c");
    r->insertAfter(b, c); // between b and d
    Node* e = new Node("e");
    r->insertAfter(d, e); // the tail
    EXPECT_EQ("a,b,c,d,e", names(r->getChildren()));
    EXPECT_EQ(a, r->getFirstChild());
    for (Node* node = r->getFirstChild(); node != nullptr; node = node->getNextSibling()) {
        EXPECT_EQ(r, node->getParent());
        if (node->getNextSibling() != nullptr) {
            EXPECT_EQ(node, node->getNextSibling()->getPreviousSibling());
        }
    }
    Node* x = new Node("x");
    r->insertBefore(c, x); // in the middle: the first child stays
    EXPECT_EQ("a,b,x,c,d,e", names(r->getChildren()));
    r->removeChild(x);
    delete x;

    // Removing the head makes the second child the first; the removed node keeps its links.
    r->removeChild(a);
    EXPECT_EQ(b, r->getFirstChild());
    EXPECT_EQ(nullptr, b->getPreviousSibling());
    EXPECT_EQ(r, a->getParent());
    EXPECT_EQ(b, a->getNextSibling());
    delete a;
    r->removeChild(e); // the tail
    EXPECT_EQ(nullptr, d->getNextSibling());
    delete e;
    r->removeChild(nullptr);
    EXPECT_EQ("b,c,d", names(r->getChildren()));
    // appendChild after edits still finds the real tail.
    Node* f = child(r, "f");
    EXPECT_EQ(d, f->getPreviousSibling());
    EXPECT_EQ("b,c,d,f", names(r->getChildren()));
    EXPECT_TRUE(f->getChildren().empty());
}

TEST(SimpleDOMTree, SetParentChangesNoChain) {
    Tree tree(new Node("r"));
    Node* a = child(tree.root, "a");
    Node other("other");
    a->setParent(&other);
    EXPECT_EQ(&other, a->getParent());
    EXPECT_EQ(a, tree.root->getFirstChild());
    EXPECT_EQ(nullptr, other.getFirstChild());
}

TEST(SimpleDOMTree, FindElementsIsDocumentOrderWithoutTheNodeItself) {
    Tree tree(new Node("x"));
    Node* a = child(tree.root, "x");
    child(a, "y");
    Node* inner = child(a, "x");
    child(inner, "x");
    child(tree.root, "X");
    Node* b = child(tree.root, "b");
    Node* last = child(b, "x");
    const NodeList found = tree.root->findElements("x");
    ASSERT_EQ(4u, found.size());
    EXPECT_EQ(a, found[0]);
    EXPECT_EQ(inner, found[1]);
    EXPECT_EQ(inner->getFirstChild(), found[2]);
    EXPECT_EQ(last, found[3]);
    EXPECT_EQ(1u, tree.root->findElements("X").size());
    EXPECT_TRUE(tree.root->findElements("z").empty());
    EXPECT_TRUE(last->findElements("x").empty());
}

TEST(SimpleDOMTree, AttributesAreOrderedByNameAndReadingAddsThem) {
    Node node("n");
    node.setAttribute("b", "2");
    node.setAttribute("a", "1");
    node.setAttribute("B", "0");
    node.setAttribute("b", "two");
    SimpleDOM::AttributeMap copy = node.getAttributes();
    ASSERT_EQ(3u, copy.size());
    EXPECT_EQ("B", copy.begin()->first);
    EXPECT_EQ("two", copy["b"]);
    copy["a"] = "changed";
    EXPECT_EQ("1", node.getAttribute("a"));

    EXPECT_EQ("", node.getAttribute("missing"));
    EXPECT_EQ(4u, node.getAttributes().size());
    node.getAttribute("a") = "by reference";
    EXPECT_EQ("<n B=\"0\" a=\"by reference\" b=\"two\" missing=\"\"/>\n", written(&node));
}

TEST(SimpleDOMWriter, WritesTheDocumentedShapesExactly) {
    Tree tree(new Node("a"));
    tree.root->setAttribute("y", "2");
    tree.root->setAttribute("x", "1");
    child(tree.root, "b")->setText("hi");
    child(tree.root, "c");
    EXPECT_EQ("<a x=\"1\" y=\"2\">\n    <b>hi</b>\n    <c/>\n</a>\n", written(tree.root));
    EXPECT_EQ("<a\n    x=\"1\"\n    y=\"2\">\n    <b>hi</b>\n    <c/>\n</a>\n",
              written(tree.root, true));

    // Text and children: the text right after the tag, the closing tag at the element's indent.
    Node* c = tree.root->getFirstChild()->getNextSibling();
    c->setText("t <&> \"q\"");
    Node* d = child(c, "d");
    d->setAttribute("k", "v");
    child(d, "e");
    std::ostringstream out;
    SimpleDOM::write(out, c, "\t", true);
    EXPECT_EQ(
        "\t<c>t <&> \"q\"\n\t    <d\n\t        k=\"v\">\n\t        <e/>\n\t    </d>\n\t</c>\n",
        out.str());
    std::ostringstream streamed;
    streamed << static_cast<const Node*>(d) << "|";
    EXPECT_EQ("<d k=\"v\">\n    <e/>\n</d>\n|", streamed.str());
}

TEST(SimpleDOMWriter, NullWritesNothingButAFailedStreamThrows) {
    std::ostringstream out;
    SimpleDOM::write(out, nullptr, false);
    out << static_cast<const Node*>(nullptr);
    EXPECT_EQ("", out.str());

    Node node("n");
    std::ostringstream failed;
    failed.setstate(std::ios::eofbit);
    for (const Node* target :
         {static_cast<const Node*>(&node), static_cast<const Node*>(nullptr)}) {
        try {
            SimpleDOM::write(failed, target, false);
            ADD_FAILURE() << "no exception";
        } catch (const SimpleDOM::ParseException& e) {
            EXPECT_STREQ("Error: Stream is bad.", e.what());
            EXPECT_EQ(0, e.its_line);
        }
    }
}

TEST(SimpleDOMWriter, AStreamFailingPartWayIsReportedAtTheNextElement) {
    Tree tree(new Node("a"));
    child(tree.root, "b");
    child(tree.root, "c");
    // Room for "<a>\n" and part of b's line: the failure shows when c is entered.
    LimitedBuffer buffer(6);
    std::ostream out(&buffer);
    EXPECT_THROW(SimpleDOM::write(out, tree.root, false), SimpleDOM::ParseException);
    EXPECT_EQ("<a>\n  ", buffer.its_text);

    // A failure while writing the last element's end goes unreported.
    LimitedBuffer tail(22);
    std::ostream lastOut(&tail);
    EXPECT_NO_THROW(SimpleDOM::write(lastOut, tree.root, false));
    EXPECT_TRUE(lastOut.bad());
    EXPECT_EQ("<a>\n    <b/>\n    <c/>\n", tail.its_text);
}

TEST(SimpleDOMTree, ParseExceptionCarriesMessageAndLine) {
    const SimpleDOM::ParseException original("Document not well-formed. (a)", 7);
    const SimpleDOM::ParseException copy(original);
    EXPECT_STREQ("Document not well-formed. (a)", copy.what());
    EXPECT_EQ(7, copy.its_line);
    const std::exception& base = copy;
    EXPECT_STREQ("Document not well-formed. (a)", base.what());
}

TEST(SimpleDOMTree, InsertingBesideANullSiblingDoesNothingWhileDormant) {
    vttest::unsetEnv("JASSERT");
    Tree tree(new Node("r"));
    Node orphan("o");
    tree.root->insertAfter(nullptr, &orphan);
    tree.root->insertBefore(nullptr, &orphan);
    EXPECT_EQ(nullptr, tree.root->getFirstChild());
    EXPECT_EQ(nullptr, orphan.getParent());
    SimpleDOM::deleteTree(nullptr);
}

TEST(SimpleDOMTree, InsertingBesideANullSiblingReportsWhenActive) {
    vttest::setEnv("JASSERT", "ON");
    vttest::setEnv("JASSERT_FILELIST", "SimpleDOM");
    Node parent("r");
    Node node("n");
    EXPECT_DEATH(parent.insertAfter(nullptr, &node),
                 "^JAssert 'the_sibling != 0' failed\\. value: 0, file: SimpleDOM, line: 65\n");
    EXPECT_DEATH(parent.insertBefore(nullptr, &node),
                 "^JAssert 'the_sibling != 0' failed\\. value: 0, file: SimpleDOM, line: 96\n");
    vttest::unsetEnv("JASSERT");
    vttest::unsetEnv("JASSERT_FILELIST");
}

} // namespace
