// The XML reading rules written out plainly, token by token through the
// tokenizer's public operations, with no shortcut of any kind: the reference
// that the library's reader, with its shortcuts through the stream buffer,
// must agree with exactly (tree or failure message and line). Where the rules
// leave a case open (no element open when one is needed) it makes the
// library's choice: fail with the token in hand.
#pragma once

#include <cctype>
#include <istream>
#include <string>
#include <vector>

#include "vtsupport/text/SimpleDOM.h"
#include "vtsupport/text/StreamTokenizer.h"
#include "vtsupport/text/detail/XmlTokenizerSettings.h"

namespace reference {

class Reader {
public:
    Reader(std::istream& the_in, bool the_keep) : its_tok(the_in), its_keep(the_keep) {
        vtsupport::detail::configureForXml(its_tok);
    }
    ~Reader() { SimpleDOM::deleteTree(its_root); }

    SimpleDOM::Node* read() {
        T = its_tok.nextToken();
        while (T != StreamTokenizer::TT_EOF) {
            handle();
            P = T;
            T = its_tok.nextToken();
        }
        if (!its_open.empty())
            fail(its_open.back()->getName());
        SimpleDOM::Node* root = its_root;
        its_root = nullptr;
        return root;
    }

private:
    [[noreturn]] void fail(const std::string& the_token) {
        throw SimpleDOM::ParseException("Document not well-formed. (" + the_token + ")",
                                        its_tok.lineno());
    }
    void step() {
        P = T;
        T = its_tok.nextToken();
    }
    SimpleDOM::Node* top(const std::string& the_token) {
        if (its_open.empty())
            fail(the_token);
        return its_open.back();
    }
    void closeElement() {
        its_collect = false;
        if (!its_open.empty())
            its_open.pop_back();
    }

    void handle() {
        if (T == "<") {
            const bool mayPrecede = P.empty() || P == " " || P == "\t" || P == "\n" || P == "\r" ||
                                    P == "\"" || P == ">";
            if (!mayPrecede && its_text.empty())
                fail(P);
            const std::string N = its_tok.peekToken();
            if (N == "/") {
                its_in_end = true;
                its_text = SimpleDOM::normalizeText(its_text, its_keep);
                if (!its_text.empty()) {
                    top(its_text)->setText(its_text);
                    its_text.clear();
                }
            } else if (N == "!--") {
                its_tok.setWhitespaceTokens(false);
                while (T != "--") {
                    if (T == StreamTokenizer::TT_EOF)
                        fail(P);
                    step();
                }
                step();
                if (T != ">")
                    fail(P);
                its_tok.setWhitespaceTokens(true);
            } else if (N == "?" || N == "!DOCTYPE") {
                const std::string end = N == "?" ? "?" : ">";
                its_tok.setWhitespaceTokens(false);
                step();
                step();
                while (T != end) {
                    if (T == StreamTokenizer::TT_EOF)
                        fail(P);
                    step();
                }
                if (N == "?") {
                    step();
                    if (T != ">")
                        fail("?");
                }
                its_tok.setWhitespaceTokens(true);
            } else {
                its_in_start = true;
                its_collect = true;
            }
        } else if (T == ">") {
            if (its_in_start) {
                its_text.clear();
                its_in_start = false;
                if (P == "/")
                    closeElement();
            } else if (its_in_end) {
                its_in_end = false;
                closeElement();
            } else {
                fail(">");
            }
        } else if (T == "/") {
            if (!its_in_start && !its_in_end)
                its_text += "/";
        } else if (T == "=") {
            if (!its_in_start)
                its_text += "=";
        } else if (T == "\"") {
            if (its_in_start) {
                std::string value;
                step();
                while (T != "\"") {
                    value += T;
                    if (T == StreamTokenizer::TT_EOF)
                        fail(T);
                    step();
                }
                top(its_name.empty() ? T : its_name)->setAttribute(its_name, value);
            } else {
                its_text += "\"";
            }
        } else if (T == " " || T == "\t" || T == "\n" || T == "\r") {
            if (!its_in_start && !its_in_end && its_collect)
                its_text += T;
        } else if (its_in_start && P == "<") {
            if (its_root != nullptr && its_open.empty())
                fail(T);
            SimpleDOM::Node* node = new SimpleDOM::Node(T);
            if (its_root == nullptr)
                its_root = node;
            else
                its_open.back()->appendChild(node);
            its_open.push_back(node);
        } else if (its_in_start) {
            its_name = T;
            if (its_tok.peekToken() != "=")
                top(T)->setAttribute(T, "");
        } else if (!its_in_end) {
            its_text += T;
        }
    }

    StreamTokenizer its_tok;
    const bool its_keep;
    SimpleDOM::Node* its_root = nullptr;
    std::vector<SimpleDOM::Node*> its_open;
    std::string T, P, its_text, its_name;
    bool its_in_start = false, its_in_end = false, its_collect = false;
};

} // namespace reference
