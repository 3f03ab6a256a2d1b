// Memory running out while text is read or copied: the allocator lets n allocations through and
// fails every later one, for every n along a parse or clone, which must hand std::bad_alloc to its
// caller with every block given back. The text sources, and on Windows the C++ runtime, are built
// in: an allocator replaced in a program sees neither a DLL's allocations nor the runtime DLL's.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "support/TrickleBuffer.h"
#include "vtsupport/text/SimpleDOM.h"

namespace {
using SimpleDOM::Node;
bool armed = false;      // counting, and failing beyond the budget
std::size_t budget = 0;  // allocations let through while armed
std::size_t made = 0;    // allocations made while armed
std::ptrdiff_t live = 0; // blocks taken and not yet given back, always counted
struct Armed {
    explicit Armed(std::size_t the_budget) { budget = the_budget, made = 0, armed = true; }
    ~Armed() { armed = false; }
};
// Wide, deep and attribute-rich, its words too long to be kept inside a string object.
std::string document() {
    std::string wide, deep, ends, attributes;
    for (int i = 0; i < 40; ++i) {
        const std::string n = std::to_string(i);
        wide += "  <item n=\"" + n + "\" label=\"the wide part\">the text of an item</item>\n";
        deep += "<level depth=\"" + n + "\">";
        ends += "</level>";
        attributes += " attribute_number_" + n + "=\"a value too long to keep inline\"";
    }
    return "<?xml version=\"1.0\"?>\n<!-- a comment -->\n<doc><wide>\n" + wide + "</wide><deep>" +
           deep + "the innermost text, far down" + ends + "</deep>\n<many_attributes" + attributes +
           " bare/>\n<text>lost<b/>kept &amp; &lt; as written</text></doc>\n";
}
} // namespace

void* operator new(std::size_t size) {
    void* block = armed && made++ == budget ? nullptr : std::malloc(size == 0 ? 1 : size);
    if (block == nullptr)
        throw std::bad_alloc();
    ++live;
    return block;
}
void operator delete(void* block) noexcept {
    live -= block != nullptr;
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    operator delete(block);
}
TEST(TextMemory, EveryFailedAllocationReachesTheCallerWithNothingLeft) {
    const std::string text = document();
    std::istringstream in(text);
    const std::unique_ptr<Node, void (*)(Node*)> original(SimpleDOM::parse(in, false),
                                                          SimpleDOM::deleteTree);
    for (const std::string row : {"parse", "parse with no get area", "clone"}) {
        const auto attempt = [&](std::size_t the_budget) {
            std::istringstream whole(text);
            vttest::TrickleBuffer trickle(text, true);
            std::istream trickled(&trickle);
            const Armed scope(the_budget);
            return row == "clone" ? original->clone()
                                  : SimpleDOM::parse(row == "parse" ? whole : trickled, false);
        };
        std::ptrdiff_t before = live;
        Node* tree = attempt(SIZE_MAX);
        const std::size_t points = made;
        EXPECT_GT(points, 200u) << row << ": the document has more nodes and attributes";
        {
            const Armed nothing(0);
            SimpleDOM::deleteTree(tree);
        }
        EXPECT_EQ(before, live) << row;
        for (std::size_t n = 0; n < points; ++n) {
            before = live;
            try {
                SimpleDOM::deleteTree(attempt(n));
                ADD_FAILURE() << row << ": allocation " << n + 1 << " failed unnoticed";
            } catch (const std::bad_alloc&) {
            }
            ASSERT_EQ(before, live) << row << ": left after allocation " << n + 1 << " failed";
        }
    }
}
