// Whole-subtree walks: search and freeing. Neither recurses (a million levels cost no stack). The
// search keeps its path in a vector, not in parent links callers may have overwritten; the freeing
// keeps it in the links of the nodes it is about to free, needing no memory at all.
#include <vector>

#include "vtsupport/text/SimpleDOM.h"
#include "vtsupport/text/detail/NodeAccess.h"

namespace SimpleDOM {

// Pre-order over the descendants: a match comes before the matches inside it.
NodeList Node::findElements(const std::string& the_name) const {
    NodeList found;
    std::vector<const Node*> path;
    const Node* node = its_first_child;
    for (;;) {
        if (node != nullptr) {
            if (node->its_name == the_name)
                found.push_back(const_cast<Node*>(node));
            if (node->its_first_child != nullptr) {
                path.push_back(node);
                node = node->its_first_child;
            } else {
                node = node->its_next_sibling;
            }
        } else if (path.empty()) {
            return found;
        } else {
            node = path.back()->its_next_sibling;
            path.pop_back();
        }
    }
}
namespace {
// Reverses the chain of the_node's children in place.
void reverseChildren(Node* the_node) {
    Node* reversed = nullptr;
    Node* child = the_node->getFirstChild();
    while (child != nullptr) {
        Node* const next = child->getNextSibling();
        vtsupport::detail::NodeAccess::link(child, reversed);
        reversed = child;
        child = next;
    }
    vtsupport::detail::NodeAccess::setFirstChild(the_node, reversed);
}

} // namespace

// Children before their parents, each node once. It allocates nothing (it may run while memory is
// short) and never throws: each node's chain is reversed when the walk enters it, then taken from
// the front, and the path back up runs through the parent links of the nodes on it. Siblings go
// last to first, the reverse of the order the reader allocated them in, which the allocator takes
// back as one piece rather than a long list of small blocks.
void deleteTree(Node* root) {
    using vtsupport::detail::NodeAccess;
    if (root == nullptr)
        return;
    reverseChildren(root);
    Node* node = root;
    Node* above = nullptr; // node's ancestors up to root, linked through their parents
    for (;;) {
        Node* const child = node->getFirstChild();
        if (child != nullptr) {
            NodeAccess::setFirstChild(node, child->getNextSibling());
            node->setParent(above);
            above = node;
            reverseChildren(child);
            node = child;
            continue;
        }
        delete node;
        if (above == nullptr)
            return;
        node = above;
        above = node->getParent();
    }
}

} // namespace SimpleDOM
