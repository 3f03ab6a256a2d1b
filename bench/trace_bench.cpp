// What a trace insertion costs while the channel is switched off: the
// environment lookup made anew for each value, and for each character of a text.
#include <cstdlib>
#include <string>

#include <benchmark/benchmark.h>

#include "vtsupport/utils/Trace.h"

namespace {

void switchOff() {
    utils::PTrace::instance()->disable();
}

void BM_DisabledChar(benchmark::State& state) {
    switchOff();
    utils::ITrace& trace = *utils::PTrace::instance();
    for (auto _ : state)
        trace << 'x';
}
BENCHMARK(BM_DisabledChar);

void BM_DisabledInt(benchmark::State& state) {
    switchOff();
    utils::ITrace& trace = *utils::PTrace::instance();
    for (auto _ : state)
        trace << 42;
}
BENCHMARK(BM_DisabledInt);

// A typical line: text, a number, a newline.
void BM_DisabledLine(benchmark::State& state) {
    switchOff();
    utils::ITrace& trace = *utils::PTrace::instance();
    const std::string text = "Logical processors: ";
    for (auto _ : state)
        trace << text << 4 << '\n';
}
BENCHMARK(BM_DisabledLine);

} // namespace
