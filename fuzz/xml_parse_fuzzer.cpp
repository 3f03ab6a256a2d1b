// Any input gives a tree or a ParseException: never a crash, a hang or a leak.
// The same input is also read through a stream buffer that hands out one
// character at a time, through one that has no buffer at all, and by the
// plain token-by-token reader of ReferenceReader.h; all readings must agree
// exactly (the reader's shortcuts must neither change a rule nor depend on
// how the buffer is filled).
// The first byte chooses keepWhitespaceText.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <streambuf>
#include <string>

#include "../tests/support/TrickleBuffer.h"
#include "ReferenceReader.h"
#include "vtsupport/text/SimpleDOM.h"

namespace {

// The written tree, or the failure, as one string.
std::string outcome(std::istream& in, bool keep, bool byReference = false) {
    try {
        SimpleDOM::Node* root =
            byReference ? reference::Reader(in, keep).read() : SimpleDOM::parse(in, keep);
        std::ostringstream out;
        out << root;
        if (root != nullptr) {
            root->findElements("a");
            try {
                SimpleDOM::deleteTree(root->clone());
            } catch (const SimpleDOM::ParseException&) {
                // names such as "!--" are not read back as elements
            }
        }
        SimpleDOM::deleteTree(root);
        return out.str();
    } catch (const SimpleDOM::ParseException& e) {
        return "failed: " + std::string(e.what()) + " @ " + std::to_string(e.its_line);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const bool keep = (data[0] & 1) != 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::istringstream whole(text);
    vttest::TrickleBuffer trickle(text, false);
    std::istream slow(&trickle);
    vttest::TrickleBuffer source(text, true);
    std::istream unbuffered(&source);
    std::istringstream plain(text);
    const std::string expected = outcome(plain, keep, true);
    if (outcome(whole, keep) != expected || outcome(slow, keep) != expected ||
        outcome(unbuffered, keep) != expected)
        std::abort();
    return 0;
}
