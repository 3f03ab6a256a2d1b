// The XML reader beside tinyxml2 and pugixml: each parses the same bytes into
// its own DOM, on XML files that Debian packages install and on generated
// shapes (wide, deep, attribute-heavy, text-heavy). Two measures per library and document:
// parse-and-free, and parse-write-free (the tree written back to text in memory).
// XML files named among the arguments are read instead of Debian's.
//
// The reader takes an std::istream, here one over the document's bytes in
// place; tinyxml2 and pugixml parse from a buffer of their own (both copy the
// bytes in). A document that a library rejects is reported as an error whose
// message starts with "rejected".
//
// "tree-only" is no reader: it builds the reader's tree for the document from
// one read beforehand, node by node, and frees it; the least a parse into
// this tree can cost.
//
// Counters: peak_bytes is the heap the parse takes at its highest, held_bytes
// what the parsed tree keeps, both counted through this program's operator
// new and pugixml's allocation hooks (malloc_usable_size of each block plus
// one word of malloc's header).
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <istream>
#include <memory>
#include <new>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include <benchmark/benchmark.h>
#include <pugixml.hpp>
#include <tinyxml2.h>

#include "XmlDocuments.h"
#include "vtsupport/text/SimpleDOM.h"

// The replaced operator delete frees what the replaced operator new took from
// malloc; GCC, seeing both inlined, takes free after new for a mismatch.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {

using namespace xmlbench;

// Heap accounting, on only while a measurement runs (the benchmarks run on
// the main thread alone).
struct HeapCount {
    bool on = false;
    long long live = 0;
    long long peak = 0;
};
HeapCount heap;

void* countedAlloc(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr && heap.on) {
        heap.live += static_cast<long long>(malloc_usable_size(block) + sizeof(void*));
        heap.peak = std::max(heap.peak, heap.live);
    }
    return block;
}

void countedFree(void* block) {
    if (block != nullptr && heap.on)
        heap.live -= static_cast<long long>(malloc_usable_size(block) + sizeof(void*));
    std::free(block);
}

} // namespace

void* operator new(std::size_t size) {
    if (void* block = countedAlloc(size))
        return block;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return countedAlloc(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return countedAlloc(size);
}
void operator delete(void* block) noexcept {
    countedFree(block);
}
void operator delete[](void* block) noexcept {
    countedFree(block);
}
void operator delete(void* block, std::size_t) noexcept {
    countedFree(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    countedFree(block);
}

namespace {

// What each library does with a document: parse it into its DOM and return
// an owner of the tree (released when it goes), or throw a rejection text.
struct Ours {
    struct Tree {
        SimpleDOM::Node* root;
        ~Tree() { SimpleDOM::deleteTree(root); }
    };
    static std::unique_ptr<Tree> parse(const std::string& the_bytes) {
        MemoryBuffer buffer(the_bytes);
        std::istream in(&buffer);
        try {
            return std::unique_ptr<Tree>(new Tree{SimpleDOM::parse(in, false)});
        } catch (const SimpleDOM::ParseException& e) {
            throw "rejected: " + std::string(e.what()) + " at line " + std::to_string(e.its_line);
        }
    }
    static std::size_t write(const Tree& the_tree) {
        std::ostringstream out;
        out << the_tree.root;
        return out.str().size();
    }
};

struct TinyXml {
    using Tree = tinyxml2::XMLDocument;
    static std::unique_ptr<Tree> parse(const std::string& the_bytes) {
        auto tree = std::make_unique<Tree>();
        if (tree->Parse(the_bytes.data(), the_bytes.size()) != tinyxml2::XML_SUCCESS)
            throw "rejected: " + std::string(tree->ErrorStr());
        return tree;
    }
    static std::size_t write(const Tree& the_tree) {
        tinyxml2::XMLPrinter printer;
        the_tree.Print(&printer);
        return static_cast<std::size_t>(printer.CStrSize());
    }
};

// The floor (XmlDocuments.h), standing in the table as "tree only".
struct TreeOnly {
    using Tree = Ours::Tree;
    static std::unique_ptr<Tree> parse(const std::string& the_bytes) {
        static const std::string* read = nullptr;
        static std::unique_ptr<Tree> source;
        if (read != &the_bytes) { // uncounted: the source is not part of the floor's heap
            const bool counting = std::exchange(heap.on, false);
            source = Ours::parse(the_bytes);
            read = &the_bytes;
            heap.on = counting;
        }
        return std::unique_ptr<Tree>(new Tree{buildTree(source->root)});
    }
    static std::size_t write(const Tree& the_tree) { return Ours::write(the_tree); }
};

struct PugiXml {
    using Tree = pugi::xml_document;
    static std::unique_ptr<Tree> parse(const std::string& the_bytes) {
        auto tree = std::make_unique<Tree>();
        const pugi::xml_parse_result result = tree->load_buffer(the_bytes.data(), the_bytes.size());
        if (!result)
            throw "rejected: " + std::string(result.description());
        return tree;
    }
    static std::size_t write(const Tree& the_tree) {
        std::ostringstream out;
        the_tree.save(out);
        return out.str().size();
    }
};

// One parse under heap accounting: the peak while parsing and what the tree holds.
template <typename Library>
void measureHeap(benchmark::State& state, const Document& the_doc) {
    heap = HeapCount{true, 0, 0};
    auto tree = Library::parse(the_doc.bytes);
    const long long held = heap.live;
    const long long peak = heap.peak;
    heap.on = false;
    tree.reset();
    state.counters["peak_bytes"] = static_cast<double>(peak);
    state.counters["held_bytes"] = static_cast<double>(held);
}

template <typename Library>
void parseAndFree(benchmark::State& state, const Document* the_doc, bool the_write) {
    try {
        measureHeap<Library>(state, *the_doc);
        for (auto _ : state) {
            auto tree = Library::parse(the_doc->bytes);
            if (the_write)
                benchmark::DoNotOptimize(Library::write(*tree));
            benchmark::DoNotOptimize(tree.get());
        }
    } catch (const std::string& rejection) {
        state.SkipWithError(rejection.c_str());
        return;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * the_doc->bytes.size()));
    state.counters["document_bytes"] = static_cast<double>(the_doc->bytes.size());
}

template <typename Library>
void add(const std::string& the_measure, const char* the_library, const std::string& the_kind,
         const Document& the_doc) {
    const bool write = the_measure == "parse+write";
    benchmark::RegisterBenchmark(
        (the_measure + "/" + the_library + "/" + the_kind + "/" + the_doc.name).c_str(),
        [&the_doc, write](benchmark::State& state) {
            parseAndFree<Library>(state, &the_doc, write);
        })
        ->Unit(benchmark::kMillisecond);
}

// The XML files named among the arguments, taken out of them; Debian's documents when none is.
std::vector<Document> takeDocuments(int& the_argc, char** the_argv) {
    std::vector<Document> docs;
    int kept = 1;
    for (int i = 1; i < the_argc; ++i) {
        if (the_argv[i][0] == '-') {
            the_argv[kept++] = the_argv[i];
            continue;
        }
        std::string bytes = readFile(the_argv[i]);
        if (bytes.empty()) {
            std::fprintf(stderr, "cannot read %s, or it is empty\n", the_argv[i]);
            std::exit(1);
        }
        docs.push_back({std::filesystem::path(the_argv[i]).filename().string(), std::move(bytes)});
    }
    the_argc = kept;
    return docs.empty() ? realDocuments() : docs;
}

} // namespace

int main(int argc, char** argv) {
    // pugixml allocates through malloc unless told otherwise.
    pugi::set_memory_management_functions(countedAlloc, countedFree);
    static const std::vector<Document> real = takeDocuments(argc, argv);
    static const std::vector<Document> generated = generatedDocuments();
    for (const char* measure : {"parse", "parse+write"}) {
        for (const auto* set : {&real, &generated}) {
            const std::string kind = set == &real ? "real" : "generated";
            for (const Document& doc : *set) {
                add<Ours>(measure, "vtsupport", kind, doc);
                add<TinyXml>(measure, "tinyxml2", kind, doc);
                add<PugiXml>(measure, "pugixml", kind, doc);
                if (std::string(measure) == "parse")
                    add<TreeOnly>(measure, "tree-only", kind, doc);
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
