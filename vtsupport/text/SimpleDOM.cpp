// Node construction, the child list and the linking operations of the chain. The chain has no tail
// pointer and no count on purpose: appendChild walks to the tail (the reader remembers each open
// element's tail instead). The two insert checks report as SimpleDOM lines 65 and 96 wherever they
// stand.
#include "vtsupport/text/SimpleDOM.h"

#include "vtsupport/utils/detail/JAssertAt.h"

namespace SimpleDOM {

Node::Node(const std::string& the_name)
    : its_name(the_name), its_parent(nullptr), its_first_child(nullptr),
      its_previous_sibling(nullptr), its_next_sibling(nullptr) {}

// Children, parent and siblings are left alone: deleteTree frees each node of a subtree once.
Node::~Node() = default;

// Built afresh at each call, so callers may relink the children while they iterate over the list:
// the list keeps the pointers it was given.
NodeList Node::getChildren() const {
    NodeList children;
    for (Node* child = its_first_child; child != nullptr; child = child->its_next_sibling)
        children.push_back(child);
    return children;
}
// The parent link is set before the walk, and insertAfter then copies it from the tail, so both
// ways of linking leave the same parent behind.
void Node::appendChild(Node* the_child) {
    if (the_child == nullptr)
        return;
    the_child->its_parent = this;
    Node* last = nullptr;
    for (Node* child = its_first_child; child != nullptr; child = child->its_next_sibling)
        last = child;
    if (last != nullptr) {
        insertAfter(last, the_child);
        return;
    }
    its_first_child = the_child;
    the_child->its_previous_sibling = nullptr;
    the_child->its_next_sibling = nullptr;
}
// A null sibling is a caller's error, reported when assertions are on for SimpleDOM, else nothing
// happens. the_node is not tested (appendChild never passes null); its old links are overwritten.
// The parent's first-child link never changes here: the_sibling precedes the_node.
void Node::insertAfter(Node* the_sibling, Node* the_node) {
    JAssertAt("SimpleDOM", 65, the_sibling != 0);
    if (the_sibling == nullptr)
        return;
    Node* next = the_sibling->its_next_sibling;
    the_sibling->its_next_sibling = the_node;
    the_node->its_parent = the_sibling->its_parent;
    the_node->its_previous_sibling = the_sibling;
    the_node->its_next_sibling = next;
    if (next != nullptr)
        next->its_previous_sibling = the_node;
}
// Called on the_sibling's parent: this node's first child becomes the_node when the_sibling was
// first. Never checks that the_sibling belongs here.
void Node::insertBefore(Node* the_sibling, Node* the_node) {
    JAssertAt("SimpleDOM", 96, the_sibling != 0);
    if (the_sibling == nullptr)
        return;
    Node* previous = the_sibling->its_previous_sibling;
    the_sibling->its_previous_sibling = the_node;
    the_node->its_parent = the_sibling->its_parent;
    the_node->its_previous_sibling = previous;
    the_node->its_next_sibling = the_sibling;
    if (previous != nullptr)
        previous->its_next_sibling = the_node;
    else
        its_first_child = the_node;
}
// The removed node keeps its links (callers may still look back); its neighbours are found through
// it, so the chain must hold it.
void Node::removeChild(Node* the_child) {
    if (the_child == nullptr)
        return;
    Node* previous = the_child->its_previous_sibling;
    Node* next = the_child->its_next_sibling;
    if (previous != nullptr)
        previous->its_next_sibling = next;
    else
        its_first_child = next;
    if (next != nullptr)
        next->its_previous_sibling = previous;
}

} // namespace SimpleDOM
