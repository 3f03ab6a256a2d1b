// The XML reading rules written out plainly, token by token, over the plain
// tokenizer of ReferenceTokenizer.h: the reference that the library's reader
// must agree with exactly (tree or failure message and line, and where the
// stream stands after it). Where the rules leave a case open (no element open
// when one is needed) it makes the library's choice: fail with the token in hand.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "ReferenceTokenizer.h"
#include "vtsupport/text/SimpleDOM.h"

namespace reference {

class Reader {
public:
    Reader(std::istream& the_in, bool the_keep) : its_tok(the_in), its_keep(the_keep) {
        configure(its_tok);
    }
    ~Reader() { SimpleDOM::deleteTree(its_root); }

    // The reader's tokenizer: six markup characters before the usual
    // ordinary ones, no quoting, whitespace tokens.
    static void configure(Tokenizer& the_tokenizer) {
        the_tokenizer.ordinary = ">=<?/\"" + the_tokenizer.ordinary;
        the_tokenizer.quotes.clear();
        the_tokenizer.whitespaceTokens = true;
    }

    SimpleDOM::Node* read() {
        for (T = its_tok.nextToken(); T != StreamTokenizer::TT_EOF; step())
            handle();
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
    // Reads on until T is the_end; the input must not end first.
    void skipUntil(const std::string& the_end) {
        while (T != the_end) {
            if (T == StreamTokenizer::TT_EOF)
                fail(P);
            step();
        }
    }
    // The token after the end of a comment or an instruction must be ">".
    void closingBracket() {
        step();
        if (T != ">")
            fail(P);
    }

    void handle() {
        if (T == "<") {
            if (!(P.empty() || P == " " || P == "\t" || P == "\n" || P == "\r" || P == "\"" ||
                  P == ">") &&
                its_text.empty())
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
                its_tok.whitespaceTokens = false;
                skipUntil("--");
                closingBracket();
                its_tok.whitespaceTokens = true;
            } else if (N == "?" || N == "!DOCTYPE") {
                its_tok.whitespaceTokens = false;
                step();
                step();
                skipUntil(N == "?" ? "?" : ">");
                if (N == "?")
                    closingBracket();
                its_tok.whitespaceTokens = true;
            } else {
                its_in_start = its_collect = true;
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
                its_text += T;
        } else if (T == "=") {
            if (!its_in_start)
                its_text += T;
        } else if (T == "\"") {
            if (!its_in_start) {
                its_text += T;
                return;
            }
            std::string value;
            for (step(); T != "\""; step()) {
                value += T;
                if (T == StreamTokenizer::TT_EOF)
                    fail(T);
            }
            top(its_name.empty() ? T : its_name)->setAttribute(its_name, value);
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
    void closeElement() {
        its_collect = false;
        if (!its_open.empty())
            its_open.pop_back();
    }

    Tokenizer its_tok;
    const bool its_keep;
    SimpleDOM::Node* its_root = nullptr;
    std::vector<SimpleDOM::Node*> its_open;
    std::string T, P, its_text, its_name;
    bool its_in_start = false, its_in_end = false, its_collect = false;
};

} // namespace reference
