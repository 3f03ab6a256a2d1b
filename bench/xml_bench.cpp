// Parse-and-free throughput of the XML reader, and the tokenizer alone, on
// generated documents and on the freedesktop MIME database when installed;
// and how the parse time grows with the size of wide and deep documents.
// Counters: bytes per second and tokens per second (the tokens the reader's
// tokenizer configuration yields for the document). The reader reads from an
// istream over the document's bytes in place, so no copy is timed.
#include <benchmark/benchmark.h>

#include <fstream>
#include <istream>
#include <map>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>

#include "vtsupport/text/SimpleDOM.h"
#include "vtsupport/text/StreamTokenizer.h"
#include "vtsupport/text/detail/CharClasses.h"

namespace {

// Roughly the shape of a configuration file: indented elements with
// attributes, short texts and comments.
std::string generatedDocument() {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<catalog>\n";
    for (int i = 0; i < 20000; ++i) {
        const std::string n = std::to_string(i);
        text += "  <!-- entry " + n + " -->\n";
        text +=
            "  <entry id=\"" + n + "\" type=\"application/x-item-" + n + "\" enabled=\"true\">\n";
        text += "    <name lang=\"en\">Item number " + n + "</name>\n";
        text += "    <glob pattern=\"*." + n + "\"/>\n";
        text += "    <size unit=\"kB\">" + std::to_string(i * 17 % 9973) + "</size>\n";
        text += "  </entry>\n";
    }
    return text + "</catalog>\n";
}

class MemoryBuffer : public std::streambuf {
public:
    explicit MemoryBuffer(const std::string& the_bytes) {
        char* begin = const_cast<char*>(the_bytes.data());
        setg(begin, begin, begin + the_bytes.size());
    }
};

std::string fileText(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return in ? text.str() : std::string();
}

void configureLikeTheReader(StreamTokenizer& tokenizer) {
    vtsupport::detail::configureForXml(tokenizer);
}

double countTokens(const std::string& text) {
    std::istringstream in(text);
    StreamTokenizer tokenizer(in);
    configureLikeTheReader(tokenizer);
    double count = 0;
    while (tokenizer.nextToken() != StreamTokenizer::TT_EOF)
        ++count;
    return count;
}

void parseAndFree(benchmark::State& state, const std::string& text) {
    if (text.empty()) {
        state.SkipWithError("document not installed");
        return;
    }
    for (auto _ : state) {
        MemoryBuffer buffer(text);
        std::istream in(&buffer);
        SimpleDOM::Node* root = SimpleDOM::parse(in, false);
        benchmark::DoNotOptimize(root);
        SimpleDOM::deleteTree(root);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["tokens"] =
        benchmark::Counter(countTokens(text), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_ParseGenerated(benchmark::State& state) {
    static const std::string text = generatedDocument();
    parseAndFree(state, text);
}
BENCHMARK(BM_ParseGenerated)->Unit(benchmark::kMillisecond);

// The MIME database as the reader can take it: without the internal subset of
// its document type declaration, and with comments closed by "!-->" (which
// the reader does not see as closed) closed by " -->".
std::string readableFreedesktop() {
    std::string text = fileText("/usr/share/mime/packages/freedesktop.org.xml");
    const std::size_t open = text.find('[', text.find("<!DOCTYPE"));
    if (open != std::string::npos)
        text.erase(open, text.find("]>", open) + 1 - open);
    for (std::size_t at = text.find("!-->"); at != std::string::npos; at = text.find("!-->", at))
        text.replace(at, 4, " -->");
    return text;
}

void BM_ParseFreedesktop(benchmark::State& state) {
    static const std::string text = readableFreedesktop();
    parseAndFree(state, text);
}
BENCHMARK(BM_ParseFreedesktop)->Unit(benchmark::kMillisecond);

// Whitespace-heavy: the writer's output for a chain 2,000 elements deep.
void BM_ParseDeepIndented(benchmark::State& state) {
    static const std::string text = [] {
        std::string nested;
        for (int i = 0; i < 2000; ++i)
            nested += "<e>";
        for (int i = 0; i < 2000; ++i)
            nested += "</e>";
        std::istringstream in(nested);
        SimpleDOM::Node* root = SimpleDOM::parse(in, false);
        std::ostringstream out;
        out << root;
        SimpleDOM::deleteTree(root);
        return out.str();
    }();
    parseAndFree(state, text);
}
BENCHMARK(BM_ParseDeepIndented)->Unit(benchmark::kMillisecond);

// The robustness shapes: a million levels, and a million siblings.
void BM_ParseMillionDeep(benchmark::State& state) {
    static const std::string text = [] {
        std::string nested;
        for (int i = 0; i < 1000000; ++i)
            nested += "<e>";
        for (int i = 0; i < 1000000; ++i)
            nested += "</e>";
        return nested;
    }();
    parseAndFree(state, text);
}
BENCHMARK(BM_ParseMillionDeep)->Unit(benchmark::kMillisecond);

void BM_ParseMillionWide(benchmark::State& state) {
    static const std::string text = [] {
        std::string wide = "<r>\n";
        for (int i = 0; i < 1000000; ++i)
            wide += "<e/>\n";
        return wide + "</r>\n";
    }();
    parseAndFree(state, text);
}
BENCHMARK(BM_ParseMillionWide)->Unit(benchmark::kMillisecond);

template <bool the_reader_settings>
void tokenize(benchmark::State& state) {
    static const std::string text = generatedDocument();
    // Compared as a string of known length, so that the loop costs little
    // beside the tokenizer.
    static const std::string end = StreamTokenizer::TT_EOF;
    double count = 0;
    for (auto _ : state) {
        std::istringstream in(text);
        StreamTokenizer tokenizer(in);
        if (the_reader_settings)
            configureLikeTheReader(tokenizer);
        std::string token;
        count = 0;
        for (tokenizer.nextToken(token); token != end; tokenizer.nextToken(token))
            ++count;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["tokens"] =
        benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate);
}

// The default settings: quoting on, whitespace dropped, ";:,." ordinary.
void BM_TokenizeDefault(benchmark::State& state) {
    tokenize<false>(state);
}
BENCHMARK(BM_TokenizeDefault)->Unit(benchmark::kMillisecond);

// The reader's settings: ten ordinary characters, no quoting, whitespace tokens.
void BM_TokenizeReaderSettings(benchmark::State& state) {
    tokenize<true>(state);
}
BENCHMARK(BM_TokenizeReaderSettings)->Unit(benchmark::kMillisecond);

// Scaling: the same shapes at 1, 2, 4 and 8 times a base count of elements
// (the first argument; the second is the factor). The time should grow with
// the size and no faster. Two bases: 2,500 elements (8x: a 5 MB tree) and
// 25,000 (8x: a 54 MB tree, well beyond the processor's caches), so that a
// share of the memory system would show apart from the reader's own.
std::string scaledWide(int the_count) {
    std::string s = "<root>\n";
    for (int i = 0; i < the_count; ++i)
        s += "  <item id=\"" + std::to_string(i) + "\">value " + std::to_string(i) + "</item>\n";
    return s + "</root>\n";
}

std::string scaledDeep(int the_count) {
    std::string s;
    for (int i = 0; i < the_count; ++i)
        s += "<n d=\"" + std::to_string(i % 10) + "\">";
    s += "leaf";
    for (int i = 0; i < the_count; ++i)
        s += "</n>";
    return s;
}

// Made once per size: the benchmark function runs several times.
const std::string& scaled(std::string (*the_maker)(int), const benchmark::State& the_state) {
    static std::map<std::pair<std::string (*)(int), int64_t>, std::string> made;
    const int64_t count = the_state.range(0) * the_state.range(1);
    std::string& text = made[{the_maker, count}];
    if (text.empty())
        text = the_maker(static_cast<int>(count));
    return text;
}

void BM_ScaleWide(benchmark::State& state) {
    parseAndFree(state, scaled(scaledWide, state));
}
BENCHMARK(BM_ScaleWide)->ArgsProduct({{2500, 25000}, {1, 2, 4, 8}})->Unit(benchmark::kMillisecond);

void BM_ScaleDeep(benchmark::State& state) {
    parseAndFree(state, scaled(scaledDeep, state));
}
BENCHMARK(BM_ScaleDeep)->ArgsProduct({{2500, 25000}, {1, 2, 4, 8}})->Unit(benchmark::kMillisecond);

} // namespace
