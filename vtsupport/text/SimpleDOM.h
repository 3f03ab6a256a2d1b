/// @file
/// SimpleDOM: a small element tree for XML documents, its writer and its reader.
///
/// A document is its root element. Every element is a SimpleDOM::Node with a
/// name, a text, attributes kept in ascending name order and a doubly linked
/// chain of child elements. Nodes are owned through the root by convention
/// only: whoever holds a root frees the whole tree with SimpleDOM::deleteTree;
/// ~Node frees the node alone. Text reading reports failures by throwing
/// SimpleDOM::ParseException.
/// @code
/// std::ifstream in("settings.xml");
/// SimpleDOM::Node* root = SimpleDOM::parse(in, false);   // null: no element at all
/// for (SimpleDOM::Node* item : root->findElements("item"))
///     std::cout << item->getAttribute("name") << " = " << item->getText() << "\n";
/// std::cout << static_cast<const SimpleDOM::Node*>(root);
/// SimpleDOM::deleteTree(root);
/// @endcode
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

/// The XML element tree, its writer and its reader.
namespace SimpleDOM {

class Node;

/// Navigation results: pointers into a tree, owning nothing.
typedef std::deque<Node*> NodeList;
/// Attribute name to value, visited in byte-wise ascending name order.
typedef std::map<std::string, std::string> AttributeMap;

/// The reader's (and writer's) failure: a message and the input line it refers
/// to, 0 where no line applies.
///
/// The reader's message is "Document not well-formed. (X)" with the offending
/// token X; a stream that has failed gives "Error: Stream is bad." with line 0.
/// Handlers read the message through what() and the line from its_line. The
/// fields and the virtual functions (destructor, then what()) keep their order:
/// they are part of the binary interface.
class VTSUPPORT_API ParseException : public std::exception {
public:
    /// A failure with `the_message` at line `the_line` (0: no line).
    ParseException(const std::string& the_message, int the_line);
    /// Copies message and line.
    ParseException(const ParseException& the_other);
    /// Copies message and line.
    ParseException& operator=(const ParseException& the_other);
    /// Destroys the exception.
    ~ParseException() override;
    /// The characters of its_message.
    const char* what() const noexcept override;

    /// The message text.
    std::string its_message;
    /// The input line at which the fault was found; 0 where no line applies.
    int its_line;
};

/// An element: name, text, attributes and a doubly linked chain of children.
///
/// Linking operations keep the chain's sibling links and the children's parent
/// links consistent; nothing checks for cycles or for nodes that belong to
/// another tree. A node has one parent: unlink it before linking it elsewhere.
/// A node appended into its own subtree makes a cycle, which write(),
/// findElements(), clone() and deleteTree() do not survive. Child lists and
/// search results are made anew at each call, and appendChild() walks the
/// chain, so a node with n children costs time quadratic in n to build this way
/// (the reader appends in constant time).
/// Nodes are not copyable: clone() makes a deep copy. A tree is used by one
/// thread at a time. The fields keep their order (part of the binary interface).
class VTSUPPORT_API Node {
public:
    /// A node named `the_name`, with no text, attributes, parent, siblings or children.
    explicit Node(const std::string& the_name);
    /// Frees this node's name, text and attributes only; never its children.
    ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    /// The element name, set at construction.
    const std::string& getName() const { return its_name; }
    /// The element's character content; empty after construction.
    const std::string& getText() const { return its_text; }
    /// Replaces the text.
    void setText(const std::string& the_text) { its_text = the_text; }

    /// The containing element; null for a root.
    Node* getParent() const { return its_parent; }
    /// Overwrites the parent link only; no chain changes.
    void setParent(Node* the_parent) { its_parent = the_parent; }
    /// The first child; null when there are none.
    Node* getFirstChild() const { return its_first_child; }
    /// The preceding element in the parent's chain; null for the first child.
    Node* getPreviousSibling() const { return its_previous_sibling; }
    /// The following element in the parent's chain; null for the last child.
    Node* getNextSibling() const { return its_next_sibling; }

    /// The direct children, first to last.
    NodeList getChildren() const;
    /// Every descendant (never this node) named exactly `the_name`
    /// (case-sensitive), in document order.
    NodeList findElements(const std::string& the_name) const;

    /// A copy of all attributes.
    AttributeMap getAttributes() const { return its_attributes; }
    /// The stored value; an absent attribute is added with an empty value
    /// first, and is copied and written like any other from then on (to look
    /// without adding, search getAttributes()).
    std::string& getAttribute(const std::string& the_name) { return its_attributes[the_name]; }
    /// Inserts the attribute or replaces its value.
    void setAttribute(const std::string& the_name, const std::string& the_value) {
        its_attributes[the_name] = the_value;
    }

    /// Makes `the_child` the last child (walks the chain to find the tail);
    /// null does nothing. For many children keep the last one and link each new
    /// one with insertAfter(): a million appends here take hours.
    void appendChild(Node* the_child);
    /// Links `the_node` right after `the_sibling`, in the_sibling's parent. A
    /// null `the_sibling` fails an active assertion and otherwise does nothing.
    /// Trusts that `the_sibling` is a child of this node and `the_node` is in no
    /// chain: otherwise chains are merged or cut and nodes leak.
    void insertAfter(Node* the_sibling, Node* the_node);
    /// Links `the_node` right before `the_sibling`; called on the_sibling's
    /// parent. A null `the_sibling` fails an active assertion and otherwise does
    /// nothing. Trusts that `the_sibling` is a child of this node and `the_node`
    /// is in no chain: otherwise chains are merged or emptied and nodes leak.
    void insertBefore(Node* the_sibling, Node* the_node);
    /// Unlinks `the_child` from this node's chain (null does nothing). The child
    /// keeps its own links and subtree, and the caller owns it from then on.
    /// Trusts that `the_child` is a child of this node: another node's child
    /// empties this chain or cuts that one, and the nodes cut off leak.
    void removeChild(Node* the_child);

    /// A separately owned deep copy, made by writing this subtree out and
    /// reading it back: whitespace-only texts and the text of an element that
    /// has children do not survive, and the value of an attribute without a
    /// name comes back under the name last written before it, if any. The
    /// writer escapes nothing, so only a tree whose names, attribute values and
    /// texts hold none of `<`, `>`, `&` and `"` is copied faithfully. Throws
    /// ParseException when reading fails, and std::bad_alloc, with nothing
    /// left allocated, when memory runs out.
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

/// Frees `root` and all its descendants, children before their parents. Null
/// does nothing. Allocates nothing and never throws, however deep or wide the
/// tree, so it may run in a destructor and when memory has run out.
VTSUPPORT_API void deleteTree(Node* root);

/// Writes the subtree of `node` to `os` as indented XML text (four blanks a
/// level, attributes in name order, one element per line), escaping nothing;
/// with `attributesOnSeparateLines` each attribute goes on a line of its own.
/// Each level indents its lines by four more blanks, so the text grows with the
/// square of the depth (a chain a million deep writes 4 TB). A null node writes
/// nothing. Throws ParseException("Error: Stream is bad.", 0) when `os` has
/// failed on entry to an element. Returns `os`.
VTSUPPORT_API std::ostream& write(std::ostream& os, const Node* node,
                                  bool attributesOnSeparateLines);
/// The same, with every line of the subtree starting with `indent`.
VTSUPPORT_API std::ostream& write(std::ostream& os, const Node* node, const std::string& indent,
                                  bool attributesOnSeparateLines);
/// write(os, node, false).
VTSUPPORT_API std::ostream& operator<<(std::ostream& os, const Node* node);

/// Reads XML text into a new tree owned by the caller; null when the input
/// holds no element. The reader is lenient and literal: references are kept as
/// written, end tags are not matched against start tags, and text before a
/// child element is dropped; whitespace-only texts are dropped unless
/// `keepWhitespaceText`. Throws ParseException "Document not well-formed. (X)"
/// with the offending token and its line, or "Error: Stream is bad." when `in`
/// has failed at the start; no input leaks the partial tree. When memory runs
/// out, std::bad_alloc reaches the caller, the partial tree freed.
VTSUPPORT_API Node* parse(std::istream& in, bool keepWhitespaceText);

/// `text`, or the empty string when `text` is whitespace only and
/// `keepWhitespaceText` is false.
VTSUPPORT_API std::string normalizeText(const std::string& text, bool keepWhitespaceText);

} // namespace SimpleDOM
