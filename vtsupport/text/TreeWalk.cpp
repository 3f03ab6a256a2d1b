// Whole-subtree walks: search and freeing.
//
// Both walk with an explicit stack instead of recursing, so a tree a million
// levels deep costs heap, not stack (Windows threads get 1 MiB). The stack is
// kept by the walk itself rather than read back from parent links, which
// callers may have overwritten with setParent.
#include <utility>
#include <vector>

#include "vtsupport/text/SimpleDOM.h"

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

// Children before their parents, each node exactly once, found through the
// first-child and next-sibling links only. Siblings are released last to
// first, which for a tree the reader built is the reverse of the order its
// nodes were allocated in: the allocator then gets its memory back from the
// top down and hands it out again in one piece, where releasing in
// allocation order leaves it sorting a long list of small blocks. Links
// between the freed nodes are never cleared.
void deleteTree(Node* root) {
    if (root == nullptr)
        return;
    // A node and whether its children are already on the stack above it.
    std::vector<std::pair<Node*, bool>> pending{{root, false}};
    while (!pending.empty()) {
        std::pair<Node*, bool>& top = pending.back();
        if (top.second) {
            delete top.first;
            pending.pop_back();
            continue;
        }
        top.second = true;
        for (Node* child = top.first->getFirstChild(); child != nullptr;
             child = child->getNextSibling())
            pending.emplace_back(child, false);
    }
}

} // namespace SimpleDOM
