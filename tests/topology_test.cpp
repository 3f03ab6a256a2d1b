// Processor topology: the CPUID queries, the detection of every processor class
// and the Intel topology report on scripted machines, the factory, and the
// detection on the machine the tests run on.
#include <atomic>
#include <cstdint>
#include <functional>
#include <iostream>
#include <locale>
#include <map>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "support/FakeCpuPlatform.h"
#include "support/Support.h"
#include "vtsupport/utils/Cpu.h"
#include "vtsupport/utils/CpuId.h"
#include "vtsupport/utils/Trace.h"

namespace {
using utils::TopologyOutcome;
using vttest::FakeCpuPlatform;
using vttest::ScopedCpuPlatform;
const std::string restricted =
    "User Configuration Error: Not all logical processors in the system are enabled while "
    "running this process. Rerun this application after making corrections. ";
const std::string restrictedDuringWalk =
    "User Configuration Error: Not all logical processors in the system are enabled          "
    "          while running this process. Rerun this application after making corrections. ";
const std::string validation = "Algorithm failed validation check for IntelCpu.";
const std::string unreadable = "Cannot read the process affinity mask. ";
TEST(CpuId, VendorAndPerPackageCountsFollowTheLeavesAndTheFlag) {
    FakeCpuPlatform machine(0x3, {0xA7, 0x5C}, 16, 8);
    ScopedCpuPlatform scoped(machine);
    EXPECT_EQ(4u, utils::maxStandardLeaf());
    EXPECT_EQ(0xA7, utils::initialApicId()); // that of the processor the thread runs on
    // The highest leaf, vendor, flag and cores per package; then what the queries answer:
    // Intel, flag, logical and cores per package, and how often leaf 4 was executed.
    const struct {
        const char* what;
        std::uint32_t maxLeaf;
        const char* vendor;
        bool htFlag;
        std::uint32_t cores;
        const char* answers;
    } machines[] = {
        {"Intel", 4, "GenuineIntel", true, 8, "1 268435456 16 8 1"},
        {"the most cores", 4, "GenuineIntel", true, 64, "1 268435456 16 64 1"},
        {"no hyper-threading flag", 4, "GenuineIntel", false, 8, "1 0 1 1 0"},
        {"no leaf 4", 3, "GenuineIntel", true, 8, "1 268435456 16 1 0"},
        {"leaf 1 the highest", 1, "GenuineIntel", true, 8, "1 268435456 16 1 0"},
        {"a highest leaf below 4 when signed", 0x80000004u, "GenuineIntel", true, 8,
         "1 268435456 16 1 0"},
        {"nothing beyond leaf 0", 0, "GenuineIntel", true, 8, "0 0 1 1 0"},
        {"another vendor", 4, "AuthenticAMD", true, 8, "0 0 1 1 0"},
        {"the last letter differs", 4, "GenuineIntex", true, 8, "0 0 1 1 0"},
        {"the first letter differs", 4, "genuineIntel", true, 8, "0 0 1 1 0"},
    };
    for (const auto& m : machines) {
        machine.maxLeaf = m.maxLeaf;
        machine.vendor = m.vendor;
        machine.htFlag = m.htFlag;
        machine.coresPerPackage = m.cores;
        machine.cpuidCalls.clear();
        std::ostringstream answers;
        answers << utils::isGenuineIntel() << ' ' << utils::hasHyperThreadingFlag() << ' '
                << utils::logicalProcessorsPerPackage() << ' ' << utils::coresPerPackage() << ' '
                << machine.cpuidCalls[4] << utils::isAmd();
        EXPECT_EQ(m.answers + std::string("0"), answers.str()) << m.what;
    }
    // Nothing is cached: every query executes the instruction again.
    machine.vendor = "GenuineIntel";
    machine.cpuidCalls.clear();
    utils::isGenuineIntel();
    utils::isGenuineIntel();
    EXPECT_EQ(4u, machine.cpuidCalls[0]); // the highest leaf, then the vendor, each time
    utils::coresPerPackage();
    utils::coresPerPackage();
    EXPECT_EQ(2u, machine.cpuidCalls[4]);
    EXPECT_EQ(2u, machine.cpuidCalls[1]);
}
TEST(CpuId, FieldWidthsAndSubIds) {
    const std::uint32_t counts[] = {0, 1,   2,   3,   4,           5,          8,
                                    9, 255, 256, 257, 0x80000000u, 0x80000001u};
    const std::uint32_t widths[] = {32, 0, 1, 2, 2, 3, 3, 4, 8, 8, 9, 31, 32};
    for (std::size_t i = 0; i < sizeof counts / sizeof counts[0]; ++i)
        EXPECT_EQ(widths[i], utils::fieldWidth(counts[i])) << counts[i];
    // Full ID, maximum, shift and sub-ID: bits stay in place, pushed past bit 7 they are lost.
    const unsigned subIds[][4] = {{0x0B, 2, 1, 0x02},   {0x0B, 1, 1, 0},    {0xFF, 4, 1, 0x06},
                                  {0xFF, 4, 6, 0xC0},   {0xFF, 4, 8, 0},    {0xFF, 2, 200, 0},
                                  {0xAB, 0, 4, 0xA0},   {0xAB, 0, 0, 0xAB}, {0x7F, 16, 0, 0x0F},
                                  {0xFF, 255, 0, 0xFF}, {0xFF, 3, 7, 0x80}};
    for (const auto& s : subIds)
        EXPECT_EQ(s[3], utils::extractSubId(static_cast<std::uint8_t>(s[0]),
                                            static_cast<std::uint8_t>(s[1]),
                                            static_cast<std::uint8_t>(s[2])))
            << s[0] << ' ' << s[1] << ' ' << s[2];
}
// Constructs a `Detected` on the machine with tracing on; what was traced meanwhile.
template <typename Detected>
std::string detect(utils::ICpuPlatform& machine, std::unique_ptr<Detected>& cpu) {
    const vttest::ScopedEnv on(utils::traceSwitchName, "1");
    ScopedCpuPlatform scoped(machine);
    vttest::CoutCapture out;
    cpu.reset(new Detected);
    return out.str();
}
// Every answer: "valid|error|vendor|packages cores logical perPackage|HT capable, enabled|MP, MC".
std::string answers(const utils::ICpu& cpu) {
    std::ostringstream text;
    text << cpu.isValid() << '|' << cpu.errorMessage() << '|' << cpu.vendor() << '|'
         << cpu.physicalProcessorCount() << ' ' << cpu.coreCount() << ' '
         << cpu.logicalProcessorCount() << ' ' << cpu.coresPerPhysicalProcessor() << '|'
         << cpu.isHyperThreadingCapable() << cpu.isHyperThreadingEnabled() << '|'
         << cpu.isMultiProcessor() << cpu.isMultiCore();
    return text.str();
}
// The binds and yields of the machine so far, "bind 0x1, yield, bind 0x2 refused, ...".
std::string logged(const FakeCpuPlatform& machine) {
    std::string text;
    for (const std::string& entry : machine.log)
        text += (text.empty() ? "" : ", ") + entry;
    return text;
}
// Detects as `Detected` on the machine: "what was traced=every answer".
template <typename Detected>
std::string detected(FakeCpuPlatform& machine) {
    std::unique_ptr<Detected> cpu;
    const std::string traced = detect(machine, cpu);
    return traced + "=" + answers(*cpu);
}
TEST(SingleCoreDetection, EachMachineGivesItsCountsFailuresAndBinds) {
    const std::string none = "No processor numbered 0 to 31 is available to this process. ",
                      unbound = "Cannot bind the thread to any processor of the process "
                                "affinity mask. ",
                      unknown = "Unknown Cpu detected";
    const auto otherVendor = FakeCpuPlatform::otherVendor;
    FakeCpuPlatform gap = otherVendor(0xB, 0xB), top = otherVendor(0x80000001, 0x80000001),
                    amd = otherVendor(0x3, 0x3), narrowed = otherVendor(0x5, 0xF),
                    closed = otherVendor(0xF, 0xF), empty = otherVendor(0, 0),
                    emptyAmd = otherVendor(0, 0), refusing = otherVendor(0xF, 0xF),
                    intelNarrowed(0xF, {0, 1, 2, 3}, 4, 2), intelEmpty(0, {}, 4, 2),
                    intelRefusing(0xF, {}, 4, 2);
    closed.masksReadable = false;
    intelNarrowed.processMask = 0x3;
    refusing.bindsRefused = intelRefusing.bindsRefused = true;
    const auto unknownCpu = detected<utils::UnknownCpu>, amdCpu = detected<utils::AmdCpu>,
               intelCpu = detected<utils::IntelCpu>;
    const struct {
        const char* what;
        FakeCpuPlatform& machine;
        std::string (*detected)(FakeCpuPlatform&);
        std::string expected;
        const char* log; // null: not checked
    } rows[] = {
        {"every position up to the highest system bit is a package, a gap too", gap, unknownCpu,
         unknown + "\n=0|" + unknown + "|Unknown|4 4 4 1|00|10",
         "bind 0x1, yield, bind 0x2, yield, bind 0x4 refused, bind 0x8, yield, bind 0xb, yield"},
        {"bit 31 ends the walk", top, unknownCpu,
         unknown + "\n=0|" + unknown + "|Unknown|32 32 32 1|00|10", nullptr},
        {"the other vendor class adds nothing", amd, amdCpu, "=1||Unknown|2 2 2 1|00|10", nullptr},
        {"a narrower process mask", narrowed, unknownCpu,
         restricted + "\n" + unknown + "\n=0|" + restricted + unknown + "|Unknown|1 1 1 1|00|00",
         ""},
        {"masks that cannot be read", closed, unknownCpu,
         unreadable + "\n" + unknown + "\n=0|" + unreadable + unknown + "|Unknown|1 1 1 1|00|00",
         ""},
        {"no processor in view", empty, unknownCpu,
         none + "\n" + unknown + "\n=0|" + none + unknown + "|Unknown|1 1 1 1|00|00", nullptr},
        {"no processor in view, other vendor class", emptyAmd, amdCpu,
         none + "\n=0|" + none + "|Unknown|1 1 1 1|00|00", nullptr},
        {"every bind refused", refusing, unknownCpu,
         unknown + "\n=0|" + unknown + "|Unknown|4 4 4 1|00|10", nullptr},
        // Capable is set before any detection; nothing of the topology runs.
        {"Intel, a narrower process mask", intelNarrowed, intelCpu,
         restricted + "\n=0|" + restricted + "|Unknown|1 1 1 1|10|00", ""},
        {"Intel, no processor in view", intelEmpty, intelCpu,
         none + "\n=0|" + none + "|Unknown|1 1 1 1|10|00", nullptr},
        {"Intel, every bind refused", intelRefusing, intelCpu,
         unbound + "\n=0|" + unbound + "|GenuineIntel|1 1 1 1|10|00", nullptr},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.expected, row.detected(row.machine)) << row.what;
        if (row.log != nullptr) {
            EXPECT_EQ(row.log, logged(row.machine)) << row.what;
        }
    }
}
// Gives the tests the relationship lines, which only the report reads otherwise.
struct IntelProbe : utils::IntelCpu {
    const std::vector<std::string>& lines() const { return relationships; }
};
// "mask apic package core smt" per line, lines separated by ",".
std::vector<std::string> lines(const std::string& rows) {
    std::vector<std::string> result;
    std::istringstream in(rows);
    in.imbue(std::locale::classic());
    for (unsigned long m, a, p, c, s; in >> m >> a >> p >> c >> s; in.ignore(1))
        result.push_back("  AffinityMask = " + std::to_string(m) + " Initial APIC = " +
                         std::to_string(a) + " Physical ID =  " + std::to_string(p) +
                         " Core ID = " + std::to_string(c) + " SMT ID = " + std::to_string(s));
    return result;
}
// The report the traced text must be, from the machine's per-package maxima and the answers.
std::string report(const FakeCpuPlatform& machine, TopologyOutcome outcome, int failures,
                   const utils::ICpu& cpu, const std::string& relationships) {
    static const std::map<TopologyOutcome, const char*> headlines = {
        {TopologyOutcome::SingleCoreHtEnabled, "Enabled  \nMulti-core: No "},
        {TopologyOutcome::SingleCoreHtDisabled, "Disabled  \nMulti-core: No "},
        {TopologyOutcome::SingleCoreHtNotCapable, "Not capable  \nMulti-core: No "},
        {TopologyOutcome::MultiCoreHtNotCapable, "not capable  \nMulti-core: Yes "},
        {TopologyOutcome::MultiCoreHtEnabled, "Enabled  \nMulti-core: Yes "},
        {TopologyOutcome::MultiCoreHtDisabled, "Disabled  \nMulti-core: Yes "}};
    const std::uint32_t perPackage = machine.htFlag ? machine.coresPerPackage : 1;
    const std::uint32_t logical = machine.htFlag ? machine.logicalPerPackage : 1;
    std::ostringstream text;
    text << "Hyper-Threading Technology: " << headlines.at(outcome)
         << "\nMulti-processor: " << (cpu.isMultiProcessor() ? "yes\n" : "No\n");
    for (int i = 0; i < failures; ++i)
        text << validation << "\n";
    text << "\n\nHardware capability and its availability to applications: \n"
         << "\n  System wide availability: " << cpu.physicalProcessorCount()
         << " physical processors, " << cpu.coreCount() << " cores, " << cpu.logicalProcessorCount()
         << " logical processors\n"
         << "  Multi-core capabililty : " << perPackage << " cores per package \n"
         << "  HT capability: " << logical / perPackage << " logical processors per core \n"
         << (perPackage * cpu.physicalProcessorCount() > cpu.coreCount() ? "\n  Not all"
                                                                         : "\n  All")
         << " cores in the system are enabled for this application.\n"
         << "\n\nRelationships between OS affinity mask, Initial APIC ID, and 3-level sub-IDs: \n";
    for (const std::string& line : lines(relationships))
        text << line << "\n";
    return text.str();
}
// Digit grouping, as a host application's global locale may bring it.
struct ThousandsGrouping : std::numpunct<char> {
    char do_thousands_sep() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
};
TEST(IntelTopology, EveryOutcomeHasItsCountsHeadlineAndReport) {
    struct Machine {
        const char* what;
        FakeCpuPlatform platform;
        TopologyOutcome outcome;
        int failures;
        const char* answers; // after "valid|errors|GenuineIntel|"
        const char* lines;   // "mask apic package core smt" per line
    };
    FakeCpuPlatform noFlag(0x3, {0, 1}, 8, 4);
    noFlag.htFlag = false;
    using Outcome = TopologyOutcome;
    std::vector<Machine> machines = {
        {"the worked example", FakeCpuPlatform(0xF, {0, 1, 2, 3}, 4, 2),
         Outcome::MultiCoreHtEnabled, 0, "1 2 4 2|11|01",
         "1 0 0 0 0,2 1 0 0 1,4 2 0 2 0,8 3 0 2 1"},
        {"two packages of two cores", FakeCpuPlatform(0xF, {0, 1, 2, 3}, 2, 2),
         Outcome::MultiCoreHtNotCapable, 0, "2 4 4 2|10|11",
         "1 0 0 0 0,2 1 0 1 0,4 2 2 0 0,8 3 2 1 0"},
        {"hyper-threading switched off", FakeCpuPlatform(0x1, {0}, 2, 1),
         Outcome::SingleCoreHtDisabled, 0, "1 1 1 1|10|00", "1 0 0 0 0"},
        {"no flag, two packages", noFlag, Outcome::SingleCoreHtNotCapable, 0, "2 2 2 1|00|10",
         "1 0 0 0 0,2 1 1 0 0"},
        {"two cores without their siblings", FakeCpuPlatform(0x3, {0, 2}, 4, 2),
         Outcome::MultiCoreHtDisabled, 0, "1 2 2 2|10|01", "1 0 0 0 0,2 2 0 2 0"},
        {"fewer cores than the package holds", FakeCpuPlatform(0x3, {0, 1}, 4, 2),
         Outcome::SingleCoreHtEnabled, 0, "1 1 2 1|11|00", "1 0 0 0 0,2 1 0 0 1"},
        {"more cores than the package holds", FakeCpuPlatform(0xF, {0, 1, 2, 3}, 4, 3),
         Outcome::MultiCoreHtNotCapable, 1, "1 4 4 4|10|01",
         "1 0 0 0 0,2 1 0 1 0,4 2 0 2 0,8 3 0 3 0"},
        {"more cores and threads than it holds", FakeCpuPlatform(0xF, {0, 1, 2, 3}, 3, 3),
         Outcome::MultiCoreHtNotCapable, 2, "1 4 4 4|10|01",
         "1 0 0 0 0,2 1 0 1 0,4 2 0 2 0,8 3 0 3 0"},
        {"a refused position records nothing", FakeCpuPlatform(0x1B, {0, 1, 0, 8, 9}, 2, 1),
         Outcome::SingleCoreHtEnabled, 0, "2 2 4 1|11|10",
         "1 0 0 0 0,2 1 0 0 1,8 8 8 0 0,16 9 8 0 1"},
        {"bit 31 ends the walk", FakeCpuPlatform(0x80000001, {}, 1, 1),
         Outcome::SingleCoreHtNotCapable, 0, "2 2 2 1|10|10", "1 0 0 0 0,2147483648 31 31 0 0"},
    };
    // Relationship lines keep plain digits under any global locale.
    const std::locale host =
        std::locale::global(std::locale(std::locale::classic(), new ThousandsGrouping));
    for (Machine& m : machines) {
        std::unique_ptr<IntelProbe> cpu;
        const std::string traced = detect(m.platform, cpu);
        std::string errors;
        for (int i = 0; i < m.failures; ++i)
            errors += validation;
        EXPECT_EQ((m.failures == 0 ? "1|" : "0|") + errors + "|GenuineIntel|" + m.answers,
                  answers(*cpu))
            << m.what;
        EXPECT_EQ(report(m.platform, m.outcome, m.failures, *cpu, m.lines), traced) << m.what;
        EXPECT_EQ(lines(m.lines), cpu->lines()) << m.what;
        EXPECT_EQ(m.platform.processMask, m.platform.boundMask()) << m.what;
        // Enumerating again gives the outcome and appends the lines once more.
        ScopedCpuPlatform scoped(m.platform);
        std::uint32_t logical = 0, cores = 0, packages = 0;
        EXPECT_EQ(m.outcome, cpu->enumerateTopology(logical, cores, packages)) << m.what;
        const std::vector<std::uint32_t> counts = {cpu->logicalProcessorCount(), cpu->coreCount(),
                                                   cpu->physicalProcessorCount()};
        EXPECT_EQ(counts, (std::vector<std::uint32_t>{logical, cores, packages})) << m.what;
        EXPECT_EQ(2 * lines(m.lines).size(), cpu->lines().size()) << m.what;
    }
    std::locale::global(host);
}
// After the base detection, the process mask narrows or cannot be read any more.
struct NarrowingMachine : FakeCpuPlatform {
    explicit NarrowingMachine(bool the_unreadable)
        : FakeCpuPlatform(0xF, {0, 1, 2, 3}, 4, 2), unreadableLater(the_unreadable) {}
    bool affinityMasks(std::uint32_t& process, std::uint32_t& system) override {
        if (++reads > 1)
            processMask = 0x1, masksReadable = !unreadableLater;
        return FakeCpuPlatform::affinityMasks(process, system);
    }
    int reads = 0;
    bool unreadableLater;
};
TEST(IntelTopology, AMaskChangingDuringDetectionIsRecordedOnce) {
    NarrowingMachine narrowing(false);
    std::unique_ptr<IntelProbe> cpu;
    EXPECT_EQ(restrictedDuringWalk + "\n", detect(narrowing, cpu));
    EXPECT_EQ("0|" + restrictedDuringWalk + "|GenuineIntel|1 1 4 1|11|00", answers(*cpu));
    EXPECT_TRUE(cpu->lines().empty());
    NarrowingMachine closing(true);
    EXPECT_EQ(unreadable + "\n", detect(closing, cpu));
    EXPECT_EQ("0|" + unreadable + "|GenuineIntel|1 1 1 1|10|00", answers(*cpu));
}
TEST(CpuFactory, AnExceptionDuringDetectionLeavesNoProcessorAndAnUnpinnedThread) {
    struct ExhaustedMachine : FakeCpuPlatform { // out of memory on the second processor
        ExhaustedMachine() : FakeCpuPlatform(0xF, {0, 1, 2, 3}, 4, 2) {}
        utils::CpuidResult cpuid(std::uint32_t leaf, std::uint32_t subleaf) override {
            if (leaf == 1 && runningOn() == 1)
                throw std::bad_alloc();
            return FakeCpuPlatform::cpuid(leaf, subleaf);
        }
    } machine;
    ScopedCpuPlatform scoped(machine);
    EXPECT_THROW(utils::CpuFactory::instance(), std::bad_alloc);
    EXPECT_EQ(0xFu, machine.boundMask()) << "back on the process mask, not on processor 1";
    EXPECT_EQ("yield", machine.log.back());
    const std::size_t afterFailure = machine.log.size();
    utils::CpuFactory* factory = utils::CpuFactory::instance();
    EXPECT_EQ(nullptr, factory->cpu());
    EXPECT_EQ(factory, utils::CpuFactory::instance());
    EXPECT_EQ(afterFailure, machine.log.size()) << "no later call detects again";
}
// The module-wide objects made on first request come out unique when first requests race.
TEST(CpuFactory, FirstRequestsRaceToOneObjectEach) {
    FakeCpuPlatform alone(0x3, {0, 1}, 2, 1), machine(0x3, {0, 1}, 2, 1);
    {
        ScopedCpuPlatform scoped(alone);
        const utils::IntelCpu detected;
    }
    ScopedCpuPlatform scoped(machine);
    constexpr int many = 16;
    std::vector<utils::PTrace*> channels(many, nullptr);
    std::vector<utils::ICpu*> processors(many, nullptr);
    std::vector<std::string> answered(many);
    std::atomic<int> started{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < many; ++i)
        threads.emplace_back([&, i] {
            for (++started; started < many;) // released together
                std::this_thread::yield();
            channels[i] = utils::PTrace::instance();
            processors[i] = utils::CpuFactory::instance()->cpu();
            answered[i] = processors[i] != nullptr ? answers(*processors[i]) : "";
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(alone.log, machine.log) << "one detection, on one thread";
    EXPECT_EQ(processors[0], utils::CpuFactory::instance()->create());
    EXPECT_EQ(alone.log, machine.log) << "none later";
    for (int i = 0; i < many; ++i) {
        EXPECT_EQ(channels[0], channels[i]);
        EXPECT_EQ(processors[0], processors[i]);
        EXPECT_EQ("1||GenuineIntel|1 1 2 1|11|00", answered[i]);
    }
}
// The native platform and the detection on the machine the tests run on.
TEST(RealMachine, TheNativePlatformAndTheFactoryDescribeThisMachine) {
    utils::ICpuPlatform& native = utils::cpuPlatform();
    std::uint32_t processMask = 0, systemMask = 0;
    ASSERT_TRUE(native.affinityMasks(processMask, systemMask));
    EXPECT_EQ(systemMask, processMask) << "the tests run on every processor";
    const unsigned processors = std::thread::hardware_concurrency();
    if (processors > 0 && processors < 32) {
        EXPECT_EQ((1u << processors) - 1, systemMask);
    }
    for (std::uint32_t bit = 0; bit < 32; ++bit)
        EXPECT_EQ(((systemMask >> bit) & 1u) != 0, native.bindThread(1u << bit)) << bit;
    EXPECT_FALSE(native.bindThread(0));
    EXPECT_TRUE(native.bindThread(processMask));
    native.yieldThread();
    utils::ICpu* cpu = utils::CpuFactory::instance()->cpu();
    ASSERT_NE(nullptr, cpu);
    EXPECT_EQ(vttest::processorVendor() == "GenuineIntel", utils::isGenuineIntel());
    // Every processor that names a vendor (x86) has leaf 1, the features.
    EXPECT_EQ(!vttest::processorVendor().empty(), utils::maxStandardLeaf() >= 1);
    EXPECT_EQ(utils::isGenuineIntel() ? "GenuineIntel" : "Unknown", cpu->vendor());
    EXPECT_LE(cpu->physicalProcessorCount(), cpu->coreCount());
    EXPECT_LE(cpu->coreCount(), cpu->logicalProcessorCount());
    if (processors > 0 && processors <= 32) {
        EXPECT_EQ(processors, cpu->logicalProcessorCount());
    }
    if (!utils::isGenuineIntel()) {
        EXPECT_EQ("Unknown Cpu detected", cpu->errorMessage());
    }
    if (!vttest::privileged())
        GTEST_SKIP() << "hiding the kernel's list of online processors needs root on Linux";
    // The kernel's list of online processors, and the system mask read from it: without
    // a list, or with one that cannot be read, the first processors, as many as there are.
    const std::pair<const char*, std::uint32_t> lists[] = {
        {nullptr, systemMask}, {"0-3,5,8-9", 0x32f}, {"31,0", 0x80000001}, {"30-40", 0xc0000000},
        {"1,3,", 0xa},         {"x", systemMask},    {"32-63", 0}};
    const auto allRowsHold = [&] { // says which list fails first
        std::uint32_t process = 0, system = 0;
        for (const auto& row : lists)
            if (!(row.first == nullptr ? vttest::hideOnlineProcessorList()
                                       : vttest::writeOnlineProcessorList(row.first)) ||
                !native.affinityMasks(process, system) || system != row.second)
                return std::cerr << "list " << (row.first ? row.first : "hidden"), false;
        return true;
    };
    EXPECT_EXIT(std::exit(allRowsHold() ? 0 : 1), // the list is hidden from that process alone
                ::testing::ExitedWithCode(0), "");
}
} // namespace
