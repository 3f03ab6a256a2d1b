#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Commands.h"
#include "InputFile.h"
#include "Messages.h"
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

struct TreeDeleter {
    void operator()(SimpleDOM::Node* root) const { SimpleDOM::deleteTree(root); }
};
using Tree = std::unique_ptr<SimpleDOM::Node, TreeDeleter>;

// Parses FILE completely, so that nothing is written for a document that turns
// out to be unreadable, rejected, or without an element.
Tree parseInput(const std::string& path, bool keepWhitespace) {
    InputFile input(path);
    Tree tree;
    try {
        tree.reset(SimpleDOM::parse(input.stream(), keepWhitespace));
    } catch (const SimpleDOM::ParseException& e) {
        // A read error ends the input early, which the reader may then reject.
        input.checkComplete();
        throw Failure(kMalformed,
                      input.name() + ':' + std::to_string(e.its_line) + ": " + e.what());
    }
    input.checkComplete();
    if (tree == nullptr)
        throw Failure(kMalformed, input.name() + ": no element");
    return tree;
}

// One line of `find`. `line` and `ancestors` are the caller's, reused from
// match to match, so a deep match costs its own length and no more.
void printMatch(const SimpleDOM::Node* node, std::string& line,
                std::vector<const SimpleDOM::Node*>& ancestors) {
    ancestors.clear();
    for (const SimpleDOM::Node* p = node->getParent(); p != nullptr; p = p->getParent())
        ancestors.push_back(p);
    line.assign(node->getName()).append(1, '\t');
    for (auto p = ancestors.rbegin(); p != ancestors.rend(); ++p)
        line.append(1, '/').append((*p)->getName());
    line.append(ancestors.empty() ? "/\t" : "\t");
    const char* separator = "";
    for (const auto& attribute : node->getAttributes()) {
        line.append(separator).append(attribute.first).append("=\"");
        appendVisible(line, attribute.second, true);
        line.append(1, '"');
        separator = " ";
    }
    line.append(1, '\t');
    appendVisible(line, node->getText(), true);
    line.append(1, '\n');
    std::cout << line;
}

int xmlFormat(const ParsedArgs& args) {
    const Tree tree = parseInput(args.positionals[0], args.has("--keep-whitespace"));
    // The writer throws only when std::cout has failed, which main reports.
    try {
        SimpleDOM::write(std::cout, tree.get(), args.has("--attributes-on-lines"));
    } catch (const SimpleDOM::ParseException&) {
    }
    return kOk;
}

int xmlFind(const ParsedArgs& args) {
    const Tree tree = parseInput(args.positionals[0], false);
    const std::string& name = args.positionals[1];
    std::string line;
    std::vector<const SimpleDOM::Node*> ancestors;
    // The root itself is not among its own descendants, so it is checked first.
    if (tree->getName() == name)
        printMatch(tree.get(), line, ancestors);
    for (const SimpleDOM::Node* match : tree->findElements(name)) {
        if (!std::cout)
            break;
        printMatch(match, line, ancestors);
    }
    return kOk;
}

int xmlTokens(const ParsedArgs& args) {
    // The tokenizer takes a start marker without an end marker for a caller's
    // error, and an end marker alone would mean nothing.
    const bool start = !args.value("--ml-start", "").empty();
    if (start != !args.value("--ml-end", "").empty())
        throw UsageError(start ? "--ml-start needs --ml-end" : "--ml-end needs --ml-start");
    InputFile input(args.positionals[0]);
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
    std::string token;
    std::string line;
    for (tokenizer.nextToken(token); token != StreamTokenizer::TT_EOF && std::cout;
         tokenizer.nextToken(token)) {
        line.assign(std::to_string(tokenizer.lineno())).append(1, '\t');
        appendVisible(line, token, true);
        line.append(1, '\n');
        std::cout << line;
    }
    input.checkComplete();
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

void xmlTour() {
    std::istringstream in(sampleDocument);
    const Tree tree(SimpleDOM::parse(in, false));
    std::cout << "embedded sample parsed; findElements(\"file\") finds:\n";
    for (SimpleDOM::Node* match : tree->findElements("file"))
        std::cout << "  " << match->getAttribute("path") << " (" << match->getText() << ")\n";
    std::cout << "written back:\n" << static_cast<const SimpleDOM::Node*>(tree.get());
}

} // namespace vtkit
