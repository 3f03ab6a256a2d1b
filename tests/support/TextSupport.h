// Helpers for the text-reading tests: generated documents and a stream buffer
// that digests what is written to it instead of keeping it.
#pragma once

#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>

#include "vtsupport/text/SimpleDOM.h"

namespace vttest {

// Counts and hashes (64-bit FNV-1a) every character written through it.
class DigestBuffer : public std::streambuf {
public:
    std::uint64_t its_hash = 14695981039346656037ull;
    std::uint64_t its_size = 0;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
};

// Size and hash of what write(os, node, false) produces.
DigestBuffer digestOfWrite(const SimpleDOM::Node* node);

// "<e>" depth times, then "</e>" depth times.
std::string nestedDocument(int depth);
// The writer's output for a chain of `depth` elements named e, fed to `out`.
void writeExpectedChain(std::ostream& out, int depth);
// A root "r" holding `count` empty elements "<e/>" on lines of their own.
std::string wideDocument(int count);

// The number of elements in the subtree of root (0 for null).
int countElements(const SimpleDOM::Node* root);

// Owns a tree for the length of a test.
struct OwnedTree {
    SimpleDOM::Node* root;
    explicit OwnedTree(SimpleDOM::Node* the_root) : root(the_root) {}
    ~OwnedTree() { SimpleDOM::deleteTree(root); }
    OwnedTree(const OwnedTree&) = delete;
    OwnedTree& operator=(const OwnedTree&) = delete;
};

} // namespace vttest
