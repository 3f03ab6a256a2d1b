// The XML benchmarks' documents and the reader's "floor", shared by the
// comparison with other libraries (xml_compare_bench) and the instruction
// counts under callgrind (xml_instructions).
//
// Real documents are XML files that Debian packages install and the reader
// accepts as they are, small configuration files to multi-megabyte interface
// descriptions (the packages are in scripts/common.sh's bench list); missing
// files are left out. Generated ones are the wide, deep, attribute-heavy and
// text-heavy shapes.
//
// The floor is no reader: the reader's tree for a document built node by node
// through the public operations from a tree read beforehand, with the
// allocations the reader makes (each node, each attribute, each long name,
// value or text). What a parse into this tree costs at the least.
#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include "vtsupport/text/SimpleDOM.h"
#include "vtsupport/text/detail/NodeAccess.h"

namespace xmlbench {

// An istream source over bytes held elsewhere, so the reader pays for no copy.
class MemoryBuffer : public std::streambuf {
public:
    explicit MemoryBuffer(const std::string& the_bytes) {
        char* begin = const_cast<char*>(the_bytes.data());
        setg(begin, begin, begin + the_bytes.size());
    }
};

struct Document {
    std::string name;
    std::string bytes;
};

inline std::string readFile(const std::filesystem::path& the_path) {
    std::ifstream in(the_path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

inline const char* const realPaths[] = {
    "/etc/fonts/fonts.conf",
    "/usr/share/dbus-1/session.conf",
    "/usr/share/wayland-protocols/staging/ext-idle-notify/ext-idle-notify-v1.xml",
    "/usr/share/glib-2.0/schemas/org.gnome.desktop.a11y.keyboard.gschema.xml",
    "/usr/share/gir-1.0/cairo-1.0.gir",
    "/usr/share/fontconfig/conf.avail/35-lang-normalize.conf",
    "/usr/share/wayland-protocols/stable/xdg-shell/xdg-shell.xml",
    "/usr/share/X11/xkb/rules/base.xml",
    "/usr/share/gir-1.0/GIRepository-2.0.gir",
    "/usr/share/gir-1.0/GObject-2.0.gir",
    "/usr/share/gir-1.0/GLib-2.0.gir",
};

inline std::vector<Document> realDocuments() {
    std::vector<Document> docs;
    for (const char* path : realPaths) {
        std::string bytes = readFile(path);
        if (!bytes.empty())
            docs.push_back({std::filesystem::path(path).filename().string(), std::move(bytes)});
    }
    return docs;
}

inline std::string wide(std::size_t the_count) {
    std::string s = "<root>\n";
    for (std::size_t i = 0; i < the_count; ++i)
        s += "  <item id=\"" + std::to_string(i) + "\">value " + std::to_string(i) + "</item>\n";
    return s + "</root>\n";
}

inline std::string deep(std::size_t the_depth) {
    std::string s;
    for (std::size_t i = 0; i < the_depth; ++i)
        s += "<n d=\"" + std::to_string(i % 10) + "\">";
    s += "leaf";
    for (std::size_t i = 0; i < the_depth; ++i)
        s += "</n>";
    return s;
}

inline std::string attributeHeavy(std::size_t the_count) {
    std::string s = "<root>\n";
    for (std::size_t i = 0; i < the_count; ++i) {
        s += "  <e";
        for (int a = 0; a < 8; ++a)
            s += " attr" + std::to_string(a) + "=\"value-" + std::to_string(i * 8 + a) + "\"";
        s += "/>\n";
    }
    return s + "</root>\n";
}

inline std::string textHeavy(std::size_t the_count) {
    std::string s = "<root>\n";
    for (std::size_t i = 0; i < the_count; ++i)
        s += "  <p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod "
             "tempor incididunt ut labore et dolore magna aliqua " +
             std::to_string(i) + "</p>\n";
    return s + "</root>\n";
}

inline std::vector<Document> generatedDocuments() {
    return {{"wide", wide(50000)},
            {"deep", deep(20000)},
            {"attributes", attributeHeavy(20000)},
            {"text", textHeavy(20000)}};
}

// The floor: a copy of the_root's tree, node by node.
inline SimpleDOM::Node* buildTree(const SimpleDOM::Node* the_root) {
    if (the_root == nullptr)
        return nullptr;
    SimpleDOM::Node* root = new SimpleDOM::Node(the_root->getName());
    std::vector<std::pair<const SimpleDOM::Node*, SimpleDOM::Node*>> pending{{the_root, root}};
    while (!pending.empty()) {
        const SimpleDOM::Node* from = pending.back().first;
        SimpleDOM::Node* to = pending.back().second;
        pending.pop_back();
        for (const auto& attribute : vtsupport::detail::NodeAccess::attributes(*from))
            vtsupport::detail::NodeAccess::setAttribute(to, attribute.first, attribute.second);
        if (!from->getText().empty())
            to->setText(from->getText());
        SimpleDOM::Node* last = nullptr;
        for (const SimpleDOM::Node* child = from->getFirstChild(); child != nullptr;
             child = child->getNextSibling()) {
            SimpleDOM::Node* made = new SimpleDOM::Node(child->getName());
            if (last == nullptr)
                to->appendChild(made);
            else
                to->insertAfter(last, made);
            last = made;
            pending.emplace_back(child, made);
        }
    }
    return root;
}

} // namespace xmlbench
