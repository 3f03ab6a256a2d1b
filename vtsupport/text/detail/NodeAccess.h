// Library-internal: a Node's fields, for the reader and the writer (users have the public API).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

#include "vtsupport/text/SimpleDOM.h"

namespace vtsupport {
namespace detail {

using SimpleDOM::AttributeMap;
using SimpleDOM::Node;

class NodeAccess {
public:
    static const AttributeMap& attributes(const Node& the_node) { return the_node.its_attributes; }

    // A new node named the_name (whose room the new-expression frees when the name cannot be made).
    static Node* make(std::string_view the_name) { return new Node(std::string(the_name)); }
    // setAttribute, each string made once in the map, which looks at its end first, or at its start
    // when the first character puts the name there (as "c" or ":" set after the name they qualify).
    static void setAttribute(Node* the_node, std::string_view the_name,
                             std::string_view the_value) {
        AttributeMap& attributes = the_node->its_attributes;
        const std::size_t count = attributes.size();
        const bool first = count != 0 && !the_name.empty() &&
                           std::char_traits<char>::lt(the_name[0], attributes.begin()->first[0]);
        const auto entry = attributes.emplace_hint(
            first ? attributes.begin() : attributes.end(), std::piecewise_construct,
            std::forward_as_tuple(the_name), std::forward_as_tuple(the_value));
        if (attributes.size() == count)
            entry->second.assign(the_value.data(), the_value.size());
    }
    // the_text becomes the node's text, in a string no larger than it needs.
    static void setText(Node* the_node, std::string_view the_text) {
        the_node->its_text = std::string(the_text);
    }
    // For freeing a tree: the chain links are reused as the walk's lists.
    static void setFirstChild(Node* the_node, Node* the_child) {
        the_node->its_first_child = the_child;
    }
    static void link(Node* the_node, Node* the_next) { the_node->its_next_sibling = the_next; }
    // appendChild without the walk: the_tail is the_parent's last child, or null.
    static void appendAfterTail(Node* the_parent, Node* the_tail, Node* the_child) {
        the_child->its_parent = the_parent;
        the_child->its_previous_sibling = the_tail;
        the_child->its_next_sibling = nullptr;
        if (the_tail != nullptr)
            the_tail->its_next_sibling = the_child;
        else
            the_parent->its_first_child = the_child;
    }
};

} // namespace detail
} // namespace vtsupport
