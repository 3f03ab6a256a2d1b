// Any input gives a tree or a ParseException: never a crash, a hang or a leak.
// The same input is also read through a stream buffer that hands out one
// character at a time, through one that has no buffer at all, and by the
// plain token-by-token reader of ReferenceReader.h; all readings must agree
// exactly (the reader's shortcuts must neither change a rule nor depend on
// how the buffer is filled).
//
// A tree that was read is written out and read back: that reading never fails,
// and it gives the same tree less what the writer's text cannot carry (a text
// that is whitespace only, the text of an element that has children, and the
// attributes of an element that has one without a name: written as ` ="v"`, its
// value is read back under the name last seen before it). Its writing is then a
// fixed point, and clone() gives the same tree again.
// The first byte chooses keepWhitespaceText for the first reading.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "../tests/support/TrickleBuffer.h"
#include "ReferenceReader.h"
#include "vtsupport/text/SimpleDOM.h"

namespace {

using SimpleDOM::Node;

struct Tree {
    Node* root = nullptr;
    Tree() = default;
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;
    ~Tree() { SimpleDOM::deleteTree(root); }
};

std::string written(const Node* root) {
    std::ostringstream out;
    out << root;
    return out.str();
}

// Reads `text`; a ParseException here means the writer wrote what the reader rejects.
Node* reread(const std::string& text) {
    std::istringstream in(text);
    try {
        return SimpleDOM::parse(in, false);
    } catch (const SimpleDOM::ParseException&) {
        std::abort();
    }
}

// True when `copy` is `original` as written text carries it back.
bool survivesWriting(const Node* original, const Node* copy) {
    std::vector<std::pair<const Node*, const Node*>> pending{{original, copy}};
    while (!pending.empty()) {
        const Node* a = pending.back().first;
        const Node* b = pending.back().second;
        pending.pop_back();
        if (a == nullptr || b == nullptr) {
            if (a != b)
                return false;
            continue;
        }
        const SimpleDOM::NodeList aChildren = a->getChildren();
        const SimpleDOM::NodeList bChildren = b->getChildren();
        const std::string text =
            aChildren.empty() ? SimpleDOM::normalizeText(a->getText(), false) : std::string();
        const SimpleDOM::AttributeMap attributes = a->getAttributes();
        const bool nameless = attributes.count("") != 0;
        if (a->getName() != b->getName() || text != b->getText() ||
            (!nameless && attributes != b->getAttributes()) || aChildren.size() != bChildren.size())
            return false;
        for (std::size_t i = 0; i < aChildren.size(); ++i)
            pending.emplace_back(aChildren[i], bChildren[i]);
    }
    return true;
}

void checkWriting(const Node* root) {
    const std::string first = written(root);
    Tree copy;
    copy.root = reread(first);
    if (!survivesWriting(root, copy.root))
        std::abort();
    const std::string second = written(copy.root);
    Tree again;
    again.root = reread(second);
    if (written(again.root) != second)
        std::abort();
    if (root != nullptr) {
        Tree cloned;
        cloned.root = root->clone();
        if (written(cloned.root) != second)
            std::abort();
        root->findElements("a");
    }
}

// The written tree, or the failure, as one string.
std::string outcome(std::istream& in, bool keep, bool check, bool byReference = false) {
    Tree tree;
    try {
        tree.root = byReference ? reference::Reader(in, keep).read() : SimpleDOM::parse(in, keep);
    } catch (const SimpleDOM::ParseException& e) {
        return "failed: " + std::string(e.what()) + " @ " + std::to_string(e.its_line);
    }
    if (check)
        checkWriting(tree.root);
    return written(tree.root);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const bool keep = (data[0] & 1) != 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::istringstream whole(text);
    vttest::TrickleBuffer trickle(text, false);
    std::istream slow(&trickle);
    vttest::TrickleBuffer source(text, true);
    std::istream unbuffered(&source);
    std::istringstream plain(text);
    const std::string expected = outcome(plain, keep, false, true);
    if (outcome(whole, keep, true) != expected || outcome(slow, keep, false) != expected ||
        outcome(unbuffered, keep, false) != expected)
        std::abort();
    return 0;
}
