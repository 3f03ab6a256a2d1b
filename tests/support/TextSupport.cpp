#include "support/TextSupport.h"

namespace vttest {

DigestBuffer::int_type DigestBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    xsputn(&ch, 1);
    return c;
}

std::streamsize DigestBuffer::xsputn(const char* s, std::streamsize n) {
    for (std::streamsize i = 0; i < n; ++i) {
        its_hash ^= static_cast<unsigned char>(s[i]);
        its_hash *= 1099511628211ull;
    }
    its_size += static_cast<std::uint64_t>(n);
    return n;
}

DigestBuffer digestOfWrite(const SimpleDOM::Node* node) {
    DigestBuffer digest;
    std::ostream out(&digest);
    SimpleDOM::write(out, node, false);
    return digest;
}

std::string nestedDocument(int depth) {
    std::string text;
    text.reserve(static_cast<std::size_t>(depth) * 7);
    for (int i = 0; i < depth; ++i)
        text += "<e>";
    for (int i = 0; i < depth; ++i)
        text += "</e>";
    return text;
}

void writeExpectedChain(std::ostream& out, int depth) {
    std::string indent;
    for (int level = 0; level + 1 < depth; ++level) {
        out << indent << "<e>\n";
        indent += "    ";
    }
    out << indent << "<e/>\n";
    for (int level = depth - 2; level >= 0; --level) {
        indent.resize(static_cast<std::size_t>(level) * 4);
        out << indent << "</e>\n";
    }
}

std::string wideDocument(int count) {
    std::string text = "<r>\n";
    text.reserve(static_cast<std::size_t>(count) * 6 + 10);
    for (int i = 0; i < count; ++i)
        text += "<e/>\n";
    text += "</r>\n";
    return text;
}

int countElements(const SimpleDOM::Node* root) {
    if (root == nullptr)
        return 0;
    int count = 1;
    const SimpleDOM::Node* node = root->getFirstChild();
    while (node != nullptr && node != root) {
        ++count;
        if (node->getFirstChild() != nullptr) {
            node = node->getFirstChild();
            continue;
        }
        while (node != root && node->getNextSibling() == nullptr)
            node = node->getParent();
        if (node != root)
            node = node->getNextSibling();
    }
    return count;
}

} // namespace vttest
