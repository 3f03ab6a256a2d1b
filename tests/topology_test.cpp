// Processor topology: the CPUID queries, the detection of every processor class
// and the Intel topology report on scripted machines, the factory, and the
// detection on the machine the tests run on.
#include <cstdint>
#include <iostream>
#include <locale>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <thread>
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
    FakeCpuPlatform machine(0x3, {}, 16, 8);
    ScopedCpuPlatform scoped(machine);
    // The highest leaf, vendor and flag; then what the queries answer: Intel, flag,
    // logical and cores per package, AMD.
    const struct {
        const char* what;
        std::uint32_t maxLeaf;
        const char* vendor;
        bool htFlag;
        const char* answers;
    } machines[] = {
        {"Intel", 4, "GenuineIntel", true, "1 268435456 16 8 0"},
        {"no hyper-threading flag", 4, "GenuineIntel", false, "1 0 1 1 0"},
        {"no leaf 4", 3, "GenuineIntel", true, "1 268435456 16 1 0"},
        {"leaf 1 the highest", 1, "GenuineIntel", true, "1 268435456 16 1 0"},
        {"the highest leaf below 4 when signed", 0x80000004u, "GenuineIntel", true,
         "1 268435456 16 1 0"},
        {"nothing beyond leaf 0", 0, "GenuineIntel", true, "0 0 1 1 0"},
        {"the last letter differs", 4, "GenuineIntex", true, "0 0 1 1 0"},
        {"the first letter differs", 4, "genuineIntel", true, "0 0 1 1 0"},
    };
    for (const auto& m : machines) {
        machine.maxLeaf = m.maxLeaf;
        machine.vendor = m.vendor;
        machine.htFlag = m.htFlag;
        std::ostringstream answers;
        answers << utils::isGenuineIntel() << ' ' << utils::hasHyperThreadingFlag() << ' '
                << utils::logicalProcessorsPerPackage() << ' ' << utils::coresPerPackage() << ' '
                << utils::isAmd();
        EXPECT_EQ(m.answers, answers.str()) << m.what;
    }
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
// The binds and yields of the machine so far, each followed by a space.
std::string logged(const FakeCpuPlatform& machine) {
    std::string text;
    for (const std::string& entry : machine.log)
        text += entry + " ";
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
    // The vendor matters to none but the Intel class.
    FakeCpuPlatform gap(0xB, {}, 1, 1), amd(0x3, {}, 1, 1), narrowed(0xF, {}, 1, 1),
        closed(0xF, {}, 1, 1), empty(0, {}, 1, 1), intelNarrowed(0xF, {0, 1, 2, 3}, 4, 2),
        intelRefusing(0xF, {}, 4, 2), intelNarrowedLater(0xF, {0, 1, 2, 3}, 4, 2);
    narrowed.processMask = 0x5;
    intelNarrowed.processMask = 0x3;
    closed.masksReadable = false;
    intelRefusing.bindsRefused = true;
    intelNarrowedLater.laterMask = 0x1;
    const auto unknownCpu = detected<utils::UnknownCpu>, amdCpu = detected<utils::AmdCpu>,
               intelCpu = detected<utils::IntelCpu>;
    const struct {
        const char* what;
        FakeCpuPlatform& machine;
        std::string (*detected)(FakeCpuPlatform&);
        std::string expected;
    } rows[] = {
        {"every position up to the highest system bit is a package, a gap too", gap, unknownCpu,
         unknown + "\n=0|" + unknown + "|Unknown|4 4 4 1|00|10"},
        {"the other vendor class adds nothing", amd, amdCpu, "=1||Unknown|2 2 2 1|00|10"},
        {"a narrower process mask", narrowed, unknownCpu,
         restricted + "\n" + unknown + "\n=0|" + restricted + unknown + "|Unknown|1 1 1 1|00|00"},
        {"masks that cannot be read", closed, unknownCpu,
         unreadable + "\n" + unknown + "\n=0|" + unreadable + unknown + "|Unknown|1 1 1 1|00|00"},
        {"no processor in view", empty, amdCpu, none + "\n=0|" + none + "|Unknown|1 1 1 1|00|00"},
        // Capable is set before any detection; nothing of the topology runs.
        {"Intel, a narrower process mask", intelNarrowed, intelCpu,
         restricted + "\n=0|" + restricted + "|Unknown|1 1 1 1|10|00"},
        {"Intel, every bind refused", intelRefusing, intelCpu,
         unbound + "\n=0|" + unbound + "|GenuineIntel|1 1 1 1|10|00"},
        {"Intel, the mask narrowed after the count", intelNarrowedLater, intelCpu,
         restrictedDuringWalk + "\n=0|" + restrictedDuringWalk + "|GenuineIntel|1 1 4 1|11|00"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.expected, row.detected(row.machine)) << row.what;
    // The walk binds to each position in turn, a refused one too, then back to the process.
    EXPECT_EQ("bind 0x1 yield bind 0x2 yield bind 0x4 refused bind 0x8 yield bind 0xb yield ",
              logged(gap));
    EXPECT_EQ("", logged(narrowed) + logged(closed) + logged(intelNarrowed));
}
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
// The report traced by the detection that gave `cpu` on `machine`, from its headline,
// failures and relationship lines; the capability lines follow the per-package maxima.
std::string report(const FakeCpuPlatform& machine, const utils::ICpu& cpu,
                   const std::string& headline, int failures, const char* relationships) {
    const std::uint32_t perPackage = machine.htFlag ? machine.coresPerPackage : 1;
    const std::uint32_t logical = machine.htFlag ? machine.logicalPerPackage : 1;
    std::ostringstream text;
    text << "Hyper-Threading Technology: " << headline
         << "\nMulti-processor: " << (cpu.isMultiProcessor() ? "yes\n" : "No\n");
    for (int i = 0; i < failures; ++i)
        text << validation << "\n";
    text << "\n\nHardware capability and its availability to applications: \n"
         << "\n  System wide availability: " << cpu.physicalProcessorCount()
         << " physical processors, " << cpu.coreCount() << " cores, " << cpu.logicalProcessorCount()
         << " logical processors\n  Multi-core capabililty : " << perPackage
         << " cores per package \n  HT capability: " << logical / perPackage
         << " logical processors per core \n\n  "
         << (perPackage * cpu.physicalProcessorCount() > cpu.coreCount() ? "Not all" : "All")
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
        std::string headline; // after "Hyper-Threading Technology: "
        int failures;
        const char* answers; // after "valid|errors|GenuineIntel|"
        const char* lines;   // "mask apic package core smt" per line
    };
    FakeCpuPlatform noFlag(0x3, {0, 1}, 8, 4);
    noFlag.htFlag = false;
    const std::string single = "  \nMulti-core: No ", multi = "  \nMulti-core: Yes ";
    std::vector<Machine> machines = {
        {"the worked example", FakeCpuPlatform(0xF, {0, 1, 2, 3}, 4, 2), "Enabled" + multi, 0,
         "1 2 4 2|11|01", "1 0 0 0 0,2 1 0 0 1,4 2 0 2 0,8 3 0 2 1"},
        {"two packages of two cores", FakeCpuPlatform(0xF, {0, 1, 2, 3}, 2, 2),
         "not capable" + multi, 0, "2 4 4 2|10|11", "1 0 0 0 0,2 1 0 1 0,4 2 2 0 0,8 3 2 1 0"},
        {"hyper-threading switched off", FakeCpuPlatform(0x1, {0}, 2, 1), "Disabled" + single, 0,
         "1 1 1 1|10|00", "1 0 0 0 0"},
        {"no flag, two packages", noFlag, "Not capable" + single, 0, "2 2 2 1|00|10",
         "1 0 0 0 0,2 1 1 0 0"},
        {"two cores without their siblings", FakeCpuPlatform(0x3, {0, 2}, 4, 2), "Disabled" + multi,
         0, "1 2 2 2|10|01", "1 0 0 0 0,2 2 0 2 0"},
        {"fewer cores than the package holds", FakeCpuPlatform(0x3, {0, 1}, 4, 2),
         "Enabled" + single, 0, "1 1 2 1|11|00", "1 0 0 0 0,2 1 0 0 1"},
        {"more cores and threads than it holds", FakeCpuPlatform(0xF, {0, 1, 2, 3}, 3, 3),
         "not capable" + multi, 2, "1 4 4 4|10|01", "1 0 0 0 0,2 1 0 1 0,4 2 0 2 0,8 3 0 3 0"},
        {"a refused position records nothing", FakeCpuPlatform(0x1B, {0, 1, 0, 8, 9}, 2, 1),
         "Enabled" + single, 0, "2 2 4 1|11|10", "1 0 0 0 0,2 1 0 0 1,8 8 8 0 0,16 9 8 0 1"},
        {"bit 31 ends the walk", FakeCpuPlatform(0x80000001, {}, 1, 1), "Not capable" + single, 0,
         "2 2 2 1|10|10", "1 0 0 0 0,2147483648 31 31 0 0"},
    };
    // Relationship lines keep plain digits under any global locale.
    const std::locale host =
        std::locale::global(std::locale(std::locale::classic(), new ThousandsGrouping));
    for (Machine& m : machines) {
        std::unique_ptr<utils::IntelCpu> cpu;
        const std::string traced = detect(m.platform, cpu);
        const std::string errors = m.failures == 0 ? "1|" : "0|" + validation + validation;
        EXPECT_EQ(errors + "|GenuineIntel|" + m.answers, answers(*cpu)) << m.what;
        EXPECT_EQ(report(m.platform, *cpu, m.headline, m.failures, m.lines), traced) << m.what;
        EXPECT_EQ(m.platform.processMask, m.platform.boundMask()) << m.what;
    }
    std::locale::global(host);
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
// The processor object made on first request comes out unique when first requests race.
TEST(CpuFactory, FirstRequestsRaceToOneObject) {
    FakeCpuPlatform machine(0x3, {0, 1}, 2, 1);
    ScopedCpuPlatform scoped(machine);
    std::vector<utils::ICpu*> made(16, nullptr);
    std::vector<std::thread> threads;
    for (utils::ICpu*& cpu : made)
        threads.emplace_back([&cpu] { cpu = utils::CpuFactory::instance()->cpu(); });
    for (std::thread& thread : threads)
        thread.join();
    const std::string walk = "bind 0x1 yield bind 0x2 yield bind 0x3 yield ";
    EXPECT_EQ(walk + walk, logged(machine)) << "one detection: the count, then the topology";
    ASSERT_NE(nullptr, made[0]);
    EXPECT_EQ("1||GenuineIntel|1 1 2 1|11|00", answers(*made[0]));
    EXPECT_EQ(made[0], utils::CpuFactory::instance()->create());
    for (utils::ICpu* cpu : made)
        EXPECT_EQ(made[0], cpu);
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
