// SimpleDOM: a small element tree for XML documents, its writer and its reader.
//
// A document is its root element. Every element is a Node with a name, a text,
// attributes kept in ascending name order and a doubly linked chain of child
// elements. Nodes are owned through the root by convention only: whoever holds
// a root frees the whole tree with deleteTree; ~Node frees the node alone.
// Text reading reports failures by throwing ParseException.
#pragma once

#include <deque>
#include <exception>
#include <iosfwd>
#include <map>
#include <string>

#include "vtsupport/Export.h"

namespace vtsupport {
namespace detail {
class NodeAccess;
}
} // namespace vtsupport

namespace SimpleDOM {

class Node;

// Navigation results: pointers into a tree, owning nothing.
typedef std::deque<Node*> NodeList;
// Attribute name to value, visited in byte-wise ascending name order.
typedef std::map<std::string, std::string> AttributeMap;

// The reader's (and writer's) failure: a message and the input line it refers
// to, 0 where no line applies. Handlers read the line from its_line.
class VTSUPPORT_API ParseException : public std::exception {
public:
    ParseException(const std::string& the_message, int the_line);
    ParseException(const ParseException& the_other);
    ParseException& operator=(const ParseException& the_other);
    ~ParseException() override;
    const char* what() const noexcept override;

    std::string its_message;
    int its_line;
};

// An element. Linking operations keep the chain's sibling links and the
// children's parent links consistent; nothing checks for cycles or for nodes
// that belong to another tree. Nodes are not copyable: clone() makes a deep copy.
class VTSUPPORT_API Node {
public:
    explicit Node(const std::string& the_name);
    ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    const std::string& getName() const { return its_name; }
    const std::string& getText() const { return its_text; }
    void setText(const std::string& the_text) { its_text = the_text; }

    Node* getParent() const { return its_parent; }
    // Overwrites the parent link only; no chain changes.
    void setParent(Node* the_parent) { its_parent = the_parent; }
    Node* getFirstChild() const { return its_first_child; }
    Node* getPreviousSibling() const { return its_previous_sibling; }
    Node* getNextSibling() const { return its_next_sibling; }

    // The direct children, first to last.
    NodeList getChildren() const;
    // Every descendant (never this node) named exactly the_name, in document order.
    NodeList findElements(const std::string& the_name) const;

    AttributeMap getAttributes() const { return its_attributes; }
    // The stored value; an absent attribute is added with an empty value first.
    std::string& getAttribute(const std::string& the_name) { return its_attributes[the_name]; }
    void setAttribute(const std::string& the_name, const std::string& the_value) {
        its_attributes[the_name] = the_value;
    }

    // Makes the_child the last child (walks the chain to find the tail); null does nothing.
    void appendChild(Node* the_child);
    // Links the_node right after the_sibling, in the_sibling's parent.
    void insertAfter(Node* the_sibling, Node* the_node);
    // Links the_node right before the_sibling; called on the_sibling's parent.
    void insertBefore(Node* the_sibling, Node* the_node);
    // Unlinks the_child from this node's chain. The child keeps its own links
    // and subtree, and the caller owns it from then on.
    void removeChild(Node* the_child);

    // A separately owned deep copy, made by writing this subtree out and
    // reading it back: whitespace-only texts and the text of an element that
    // has children do not survive, and the value of an attribute without a name
    // comes back under the name last written before it, if any. Throws
    // ParseException when reading fails.
    Node* clone() const;

private:
    friend class vtsupport::detail::NodeAccess;

    std::string its_name;
    std::string its_text;
    Node* its_parent;
    Node* its_first_child;
    Node* its_previous_sibling;
    Node* its_next_sibling;
    AttributeMap its_attributes;
};

// Frees root and all its descendants, children before their parents. Null does nothing.
VTSUPPORT_API void deleteTree(Node* root);

// Writes the subtree of node as indented XML text, escaping nothing. Throws
// ParseException("Error: Stream is bad.", 0) when os has failed on entry to an element.
VTSUPPORT_API std::ostream& write(std::ostream& os, const Node* node,
                                  bool attributesOnSeparateLines);
VTSUPPORT_API std::ostream& write(std::ostream& os, const Node* node, const std::string& indent,
                                  bool attributesOnSeparateLines);
VTSUPPORT_API std::ostream& operator<<(std::ostream& os, const Node* node);

// Reads XML text into a new tree owned by the caller; null when the input holds
// no element. Throws ParseException "Document not well-formed. (X)" with the line.
VTSUPPORT_API Node* parse(std::istream& in, bool keepWhitespaceText);

// text, or the empty string when text is whitespace only and not kept.
VTSUPPORT_API std::string normalizeText(const std::string& text, bool keepWhitespaceText);

} // namespace SimpleDOM
