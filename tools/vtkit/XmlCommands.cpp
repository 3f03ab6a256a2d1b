#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "Commands.h"
#include "vtsupport/text/SimpleDOM.h"
#include "vtsupport/text/StreamTokenizer.h"

namespace vtkit {

namespace {

const char* const sampleDocument = "<?xml version=\"1.0\"?>\n"
                                   "<!-- a configuration as desktop applications keep them -->\n"
                                   "<settings version=\"3\">\n"
                                   "  <window width=\"1280\" height=\"720\" maximised=\"no\"/>\n"
                                   "  <recent>\n"
                                   "    <file path=\"/home/ada/report.xml\">report</file>\n"
                                   "    <file path=\"/home/ada/notes.xml\">notes</file>\n"
                                   "  </recent>\n"
                                   "  <plugins><plugin name=\"spell\" enabled=\"yes\"/></plugins>\n"
                                   "</settings>\n";

// The stream to read FILE from: standard input for "-", else the opened file.
class Input {
public:
    explicit Input(const std::string& path) {
        if (path == "-") {
            its_stream = &std::cin;
            return;
        }
        its_file.reset(new std::ifstream(path, std::ios::binary));
        if (!*its_file)
            throw MissingFile("cannot open " + path);
        its_stream = its_file.get();
    }
    std::istream& stream() { return *its_stream; }

private:
    std::unique_ptr<std::ifstream> its_file;
    std::istream* its_stream = nullptr;
};

// Owns a parsed tree for the length of a command.
struct Tree {
    SimpleDOM::Node* root = nullptr;
    ~Tree() { SimpleDOM::deleteTree(root); }
};

// Parses FILE; a rejected document is reported with its line and gives kMalformed.
bool parseInput(const std::string& path, bool keepWhitespace, Tree& tree) {
    Input input(path);
    try {
        tree.root = SimpleDOM::parse(input.stream(), keepWhitespace);
        return true;
    } catch (const SimpleDOM::ParseException& e) {
        std::cerr << "vtkit: " << (path == "-" ? "<stdin>" : path) << ':' << e.its_line << ": "
                  << e.what() << '\n';
        return false;
    }
}

// Control characters in a token or text shown as C escapes, so one item stays one line.
std::string visible(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            if (c < 0x20 || c == 0x7f) {
                const char* digits = "0123456789abcdef";
                out += "\\x";
                out += digits[c >> 4];
                out += digits[c & 15];
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

std::string ancestorPath(const SimpleDOM::Node* node) {
    std::string path;
    for (const SimpleDOM::Node* p = node->getParent(); p != nullptr; p = p->getParent())
        path = "/" + p->getName() + path;
    return path.empty() ? "/" : path;
}

void printMatch(std::ostream& out, const SimpleDOM::Node* node) {
    out << node->getName() << '\t' << ancestorPath(node) << '\t';
    bool first = true;
    for (const auto& attribute : node->getAttributes()) {
        out << (first ? "" : " ") << attribute.first << "=\"" << visible(attribute.second) << '"';
        first = false;
    }
    out << '\t' << visible(node->getText()) << '\n';
}

int xmlFormat(const ParsedArgs& args) {
    Tree tree;
    if (!parseInput(args.positionals[0], args.has("--keep-whitespace"), tree))
        return kMalformed;
    // Written to memory first, so a failure never leaves half a document behind.
    std::ostringstream text;
    SimpleDOM::write(text, tree.root, args.has("--attributes-on-lines"));
    std::cout << text.str();
    std::cout.flush();
    return std::cout ? kOk : kFailure;
}

int xmlFind(const ParsedArgs& args) {
    Tree tree;
    if (!parseInput(args.positionals[0], false, tree))
        return kMalformed;
    if (tree.root == nullptr)
        return kOk;
    const std::string& name = args.positionals[1];
    std::ostringstream out;
    // The root itself is not among its own descendants, so it is checked first.
    if (tree.root->getName() == name)
        printMatch(out, tree.root);
    for (const SimpleDOM::Node* match : tree.root->findElements(name))
        printMatch(out, match);
    std::cout << out.str();
    return kOk;
}

int xmlTokens(const ParsedArgs& args) {
    Input input(args.positionals[0]);
    StreamTokenizer tokenizer(input.stream());
    if (args.has("--xml")) {
        tokenizer.setOrdinaryChars("><=?/\"" + tokenizer.getOrdinaryChars());
        tokenizer.setQuoteChars("");
        tokenizer.setWhitespaceTokens(true);
    }
    if (args.values.count("--ordinary"))
        tokenizer.setOrdinaryChars(args.value("--ordinary", ""));
    if (args.values.count("--quotes"))
        tokenizer.setQuoteChars(args.value("--quotes", ""));
    if (args.has("--whitespace"))
        tokenizer.setWhitespaceTokens(true);
    tokenizer.setSLCommentStart(args.value("--comment", ""));
    tokenizer.setMLCommentStart(args.value("--ml-start", ""));
    tokenizer.setMLCommentEnd(args.value("--ml-end", ""));
    std::ostringstream out;
    for (std::string token = tokenizer.nextToken(); token != StreamTokenizer::TT_EOF;
         token = tokenizer.nextToken())
        out << tokenizer.lineno() << '\t' << visible(token) << '\n';
    std::cout << out.str();
    return kOk;
}

} // namespace

std::vector<Command> xmlCommands() {
    return {
        {{"xml fmt",
          {"FILE"},
          {{"--attributes-on-lines", "", "one attribute per line"},
           {"--keep-whitespace", "", "keep whitespace-only texts"}},
          "parse FILE (- for standard input) and write it back indented"},
         xmlFormat},
        {{"xml find",
          {"FILE", "NAME"},
          {},
          "elements named NAME: name, ancestors, attributes, text (tab-separated)"},
         xmlFind},
        {{"xml tokens",
          {"FILE"},
          {{"--xml", "", "the XML reader's settings"},
           {"--whitespace", "", "whitespace characters as tokens"},
           {"--ordinary", "CHARS", "ordinary characters (default \";:,.\")"},
           {"--quotes", "CHARS", "quote characters (default '\"' and \"'\")"},
           {"--comment", "TEXT", "start of single-line comments"},
           {"--ml-start", "TEXT", "start of multi-line comments"},
           {"--ml-end", "TEXT", "end of multi-line comments"}},
          "the tokenizer's tokens, one per line with its line number"},
         xmlTokens},
    };
}

int xmlTour() {
    std::istringstream in(sampleDocument);
    Tree tree;
    try {
        tree.root = SimpleDOM::parse(in, false);
    } catch (const SimpleDOM::ParseException& e) {
        std::cout << "the sample was rejected: " << e.what() << " line " << e.its_line << '\n';
        return kMalformed;
    }
    std::cout << "embedded sample parsed; findElements(\"file\") finds:\n";
    for (SimpleDOM::Node* match : tree.root->findElements("file"))
        std::cout << "  " << match->getAttribute("path") << " (" << match->getText() << ")\n";
    std::cout << "written back:\n" << tree.root;
    return kOk;
}

} // namespace vtkit
