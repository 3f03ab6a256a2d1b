// Library-internal access to a Node's fields, for the reader and the writer.
// Not installed for users' code to rely on: the public operations are the contract.
#pragma once

#include <string>
#include <utility>

#include "vtsupport/text/SimpleDOM.h"

namespace vtsupport {
namespace detail {

using SimpleDOM::AttributeMap;
using SimpleDOM::Node;

class NodeAccess {
public:
    static const AttributeMap& attributes(const Node& the_node) { return the_node.its_attributes; }

    // What setAttribute does, taking the value over instead of copying it.
    // Names often come in ascending order, so the end is tried first as the
    // place of a new name, which then costs one comparison instead of a search.
    static void setAttribute(Node* the_node, const std::string& the_name, std::string&& the_value) {
        AttributeMap& attributes = the_node->its_attributes;
        if (attributes.empty() || attributes.rbegin()->first < the_name)
            attributes.emplace_hint(attributes.end(), the_name, std::move(the_value));
        else
            attributes.insert_or_assign(the_name, std::move(the_value));
    }

    // Links the_child as the last child of the_parent, whose current last child
    // is the_tail (null when it has none): what appendChild does, without the walk.
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
