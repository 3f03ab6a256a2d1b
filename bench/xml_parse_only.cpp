// The reference for vtkit's memory: a document parsed and freed, nothing else,
// as a program that uses the library would read a file. Run by vtkit_memory.py.
#include <fstream>
#include <iostream>

#include "vtsupport/text/SimpleDOM.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: xml_parse_only FILE\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "cannot open " << argv[1] << '\n';
        return 1;
    }
    try {
        SimpleDOM::Node* root = SimpleDOM::parse(in, false);
        SimpleDOM::deleteTree(root);
        return root == nullptr ? 1 : 0;
    } catch (const SimpleDOM::ParseException& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
}
