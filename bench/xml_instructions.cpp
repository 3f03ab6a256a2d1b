// What the reader's scan costs in instructions, for callgrind: one parse and
// free of a document ("reader"), or the floor's tree for it built and freed
// ("floor", XmlDocuments.h), inside the one function vt_measured, which
// callgrind is told to count alone:
//
//   env -i valgrind --tool=callgrind --toggle-collect=vt_measured
//       xml_instructions reader|floor DOCUMENT
//
// DOCUMENT is a real document's file name (fonts.conf), a generated shape
// (wide, deep, attributes, text) or the path of any file (one with a "/" in
// it: ./my.xml), which must parse. The environment must be pinned (env -i):
// the floor's linking reads it at every call. Prints the document's size;
// "xml_instructions list" prints the documents' names.
#include <cstdio>
#include <cstring>
#include <istream>
#include <string>
#include <utility>
#include <vector>

#include "XmlDocuments.h"
#include "vtsupport/text/SimpleDOM.h"

using namespace xmlbench;

// Both ways start from the same stream set-up; only the reader reads it.
extern "C" __attribute__((noinline)) void vt_measured(bool the_reader, const std::string& the_bytes,
                                                      const SimpleDOM::Node* the_source) {
    MemoryBuffer buffer(the_bytes);
    std::istream in(&buffer);
    SimpleDOM::Node* root = the_reader ? SimpleDOM::parse(in, false) : buildTree(the_source);
    SimpleDOM::deleteTree(root);
}

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "list") == 0) {
        for (const auto& set : {realDocuments(), generatedDocuments()})
            for (const Document& doc : set)
                std::printf("%s\n", doc.name.c_str());
        return 0;
    }
    if (argc != 3 || (std::strcmp(argv[1], "reader") != 0 && std::strcmp(argv[1], "floor") != 0)) {
        std::fprintf(stderr, "usage: xml_instructions reader|floor DOCUMENT\n");
        return 2;
    }
    std::vector<Document> given;
    if (std::strchr(argv[2], '/') != nullptr) {
        std::string bytes = readFile(argv[2]);
        if (!bytes.empty())
            given.push_back({argv[2], std::move(bytes)});
    }
    for (const auto& set : {given, realDocuments(), generatedDocuments()}) {
        for (const Document& doc : set) {
            if (doc.name != argv[2])
                continue;
            MemoryBuffer buffer(doc.bytes);
            std::istream in(&buffer);
            SimpleDOM::Node* source = SimpleDOM::parse(in, false);
            // Both ways' calls bound before the count, the floor's by a tree of
            // a few nodes (the read above bound the reader's): lazy binding costs
            // thousands of instructions, more than small documents' ways differ by.
            const std::string few = "<a b=\"c\"><d>e</d><f/></a>";
            MemoryBuffer fewBuffer(few);
            std::istream fewIn(&fewBuffer);
            SimpleDOM::Node* fewNodes = SimpleDOM::parse(fewIn, false);
            SimpleDOM::deleteTree(buildTree(fewNodes));
            SimpleDOM::deleteTree(fewNodes);
            vt_measured(std::strcmp(argv[1], "reader") == 0, doc.bytes, source);
            SimpleDOM::deleteTree(source);
            std::printf("%zu\n", doc.bytes.size());
            return 0;
        }
    }
    std::fprintf(stderr, "no document %s\n", argv[2]);
    return 1;
}
