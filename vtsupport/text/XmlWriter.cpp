// The writer: a subtree as indented XML text, exactly as stored, so equal trees give equal bytes.
// The walk keeps its open elements in a vector rather than recursing, and tests the stream on entry
// to every element, which is where a stream that failed part-way is reported.
#include <ostream>
#include <vector>

#include "vtsupport/text/SimpleDOM.h"
#include "vtsupport/text/detail/NodeAccess.h"

namespace SimpleDOM {

namespace {

const char* const indentUnit = "    ";
const std::string::size_type indentUnitLength = 4;

void checkStream(const std::ostream& os) {
    if (!os.good())
        throw ParseException("Error: Stream is bad.", 0);
}
// Writes the start tag and the text; true when the tag was closed by ">".
bool writeStart(std::ostream& os, const Node& node, const std::string& indent,
                bool attributesOnSeparateLines) {
    os << indent << "<" << node.getName();
    const std::string separator =
        attributesOnSeparateLines ? "\n" + indent + indentUnit : std::string(" ");
    for (const auto& attribute : vtsupport::detail::NodeAccess::attributes(node))
        os << separator << attribute.first << "=\"" << attribute.second << "\"";
    if (node.getText().empty())
        return false;
    os << ">" << node.getText();
    return true;
}
void writeEnd(std::ostream& os, const Node& node, bool closed) {
    if (closed)
        os << "</" << node.getName() << ">\n";
    else
        os << "/>\n";
}

} // namespace

std::ostream& write(std::ostream& os, const Node* node, const std::string& indent,
                    bool attributesOnSeparateLines) {
    checkStream(os);
    if (node == nullptr)
        return os;
    os.width(0); // a field width would pad the first tag alone: the bytes are the tree's only
    std::string currentIndent = indent;
    std::vector<const Node*> open; // elements whose children are being written
    const Node* element = node;
    for (;;) {
        // element has passed the stream check: write it, or enter its children.
        const bool closed = writeStart(os, *element, currentIndent, attributesOnSeparateLines);
        if (element->getFirstChild() != nullptr) {
            if (!closed)
                os << ">";
            os << "\n";
            open.push_back(element);
            currentIndent += indentUnit;
            element = element->getFirstChild();
            checkStream(os);
            continue;
        }
        writeEnd(os, *element, closed);
        // Leave every element whose last child this was, then go on to the next sibling.
        for (;;) {
            if (open.empty())
                return os;
            if (element->getNextSibling() != nullptr) {
                element = element->getNextSibling();
                checkStream(os);
                break;
            }
            element = open.back();
            open.pop_back();
            currentIndent.resize(currentIndent.size() - indentUnitLength);
            os << currentIndent;
            writeEnd(os, *element, true);
        }
    }
}
std::ostream& write(std::ostream& os, const Node* node, bool attributesOnSeparateLines) {
    return write(os, node, std::string(), attributesOnSeparateLines);
}
std::ostream& operator<<(std::ostream& os, const Node* node) {
    return write(os, node, false);
}

} // namespace SimpleDOM
