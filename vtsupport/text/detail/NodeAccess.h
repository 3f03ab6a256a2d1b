// Library-internal access to a Node's fields, for the reader and the writer.
// Not installed for users' code to rely on: the public operations are the contract.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
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

    // A new node named by the_length characters at the_name, its name made
    // once in place (no temporary Node name is copied). The node is freed
    // again when its name cannot be allocated.
    static Node* make(const std::string& the_empty, const char* the_name, std::size_t the_length) {
        std::unique_ptr<Node> node(new Node(the_empty));
        node->its_name = std::string(the_name, the_length);
        return node.release();
    }

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

    // The same for a name and a value given as characters in place, each
    // string made once, in the map. The map tries the end first itself.
    static void setAttribute(Node* the_node, const char* the_name, std::size_t the_name_length,
                             const char* the_value, std::size_t the_value_length) {
        AttributeMap& attributes = the_node->its_attributes;
        const std::size_t count = attributes.size();
        const auto entry =
            attributes.emplace_hint(attributes.end(), std::piecewise_construct,
                                    std::forward_as_tuple(the_name, the_name_length),
                                    std::forward_as_tuple(the_value, the_value_length));
        if (attributes.size() == count)
            entry->second.assign(the_value, the_value_length);
    }

    // the_text becomes the node's text and is emptied. A text that fills its
    // buffer is handed over whole; one in a larger buffer (kept from a longer
    // text) is copied, so that the node holds no more than it needs.
    static void takeText(Node* the_node, std::string& the_text) {
        if (the_text.capacity() == the_text.size())
            the_node->its_text = std::move(the_text);
        else
            the_node->its_text = the_text;
        the_text.clear();
    }

    // For freeing a tree without memory of its own: the chain links are
    // reused as the walk's lists.
    static void setFirstChild(Node* the_node, Node* the_child) {
        the_node->its_first_child = the_child;
    }
    static void link(Node* the_node, Node* the_next) { the_node->its_next_sibling = the_next; }

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
