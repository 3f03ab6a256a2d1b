// Cost of processor detection on this machine: the whole first detection (the
// affinity walk with one bind and one yield per processor, and the CPUID queries),
// and single CPUID queries, which a hypervisor may trap.
#include <chrono>
#include <memory>

#include <benchmark/benchmark.h>

#include "vtsupport/utils/Cpu.h"
#include "vtsupport/utils/CpuId.h"

namespace {

// The factory's very first call: detection included, paid once per process,
// so this runs one iteration and must come before anything else asks.
void BM_FirstFactoryInstance(benchmark::State& state) {
    static bool measured = false;
    for (auto _ : state) {
        if (measured) {
            state.SkipWithError("the processor was already detected in this process");
            break;
        }
        measured = true;
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(utils::CpuFactory::instance());
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(BM_FirstFactoryInstance)->Iterations(1)->UseManualTime()->Unit(benchmark::kMicrosecond);

// A fresh object of the class the factory would make, detected from scratch.
void BM_FirstDetection(benchmark::State& state) {
    const bool intel = utils::isGenuineIntel();
    for (auto _ : state) {
        std::unique_ptr<utils::SingleCoreCpu> cpu;
        if (intel)
            cpu.reset(new utils::IntelCpu);
        else
            cpu.reset(new utils::UnknownCpu);
        benchmark::DoNotOptimize(cpu->logicalProcessorCount());
    }
    state.SetLabel(intel ? "IntelCpu" : "UnknownCpu");
}
BENCHMARK(BM_FirstDetection)->Unit(benchmark::kMicrosecond);

// The factory's first call is paid once per process; later calls are this.
void BM_FactoryAfterDetection(benchmark::State& state) {
    utils::CpuFactory::instance();
    for (auto _ : state)
        benchmark::DoNotOptimize(utils::CpuFactory::instance()->cpu()->coresPerPhysicalProcessor());
}
BENCHMARK(BM_FactoryAfterDetection);

void BM_VendorTest(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(utils::isGenuineIntel());
}
BENCHMARK(BM_VendorTest);

void BM_InitialApicId(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(utils::initialApicId());
}
BENCHMARK(BM_InitialApicId);

} // namespace
