// Whole-subtree walks: search and freeing.
//
// Both walk with an explicit path of ancestors instead of recursing, so a tree
// a million levels deep costs heap, not stack (Windows threads get 1 MiB). The
// path is kept by the walk itself rather than read back from parent links,
// which callers may have overwritten with setParent.
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

// Post-order: every child, first to last with its own subtree, before its
// parent. A sibling link is read before its node is freed; links between the
// freed nodes are never cleared.
void deleteTree(Node* root) {
    if (root == nullptr)
        return;
    std::vector<Node*> path;
    Node* node = root;
    for (;;) {
        while (Node* child = node->getFirstChild()) {
            path.push_back(node);
            node = child;
        }
        // node's children are gone: free it and every ancestor left childless.
        for (;;) {
            if (path.empty()) {
                delete node;
                return;
            }
            Node* next = node->getNextSibling();
            delete node;
            if (next != nullptr) {
                node = next;
                break;
            }
            node = path.back();
            path.pop_back();
        }
    }
}

} // namespace SimpleDOM
