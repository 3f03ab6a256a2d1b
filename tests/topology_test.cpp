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

TEST(CpuId, TheVendorNeedsLeafZeroToNameGenuineIntel) {
    FakeCpuPlatform machine(0x1, {}, 1, 1);
    ScopedCpuPlatform scoped(machine);
    EXPECT_EQ(4u, utils::maxStandardLeaf());
    EXPECT_TRUE(utils::isGenuineIntel());
    EXPECT_FALSE(utils::isAmd());
    machine.maxLeaf = 0; // leaf 0 still names the vendor, but nothing lies beyond it
    EXPECT_FALSE(utils::isGenuineIntel());
    machine.maxLeaf = 1;
    for (const char* other : {"GenuineIntex", "GenuIneIntel", "genuineIntel", "AuthenticAMD", ""}) {
        machine.vendor = other;
        EXPECT_FALSE(utils::isGenuineIntel()) << other;
        EXPECT_FALSE(utils::isAmd()) << other;
    }
}

TEST(CpuId, PerPackageCountsNeedTheHyperThreadingFlagOnGenuineIntel) {
    FakeCpuPlatform machine(0x3, {0xA7, 0x5C}, 16, 8);
    ScopedCpuPlatform scoped(machine);
    EXPECT_EQ(0x10000000u, utils::hasHyperThreadingFlag());
    EXPECT_EQ(16u, utils::logicalProcessorsPerPackage());
    EXPECT_EQ(8u, utils::coresPerPackage());
    machine.coresPerPackage = 64;
    EXPECT_EQ(64u, utils::coresPerPackage());
    EXPECT_EQ(0xA7, utils::initialApicId());
    machine.bindThread(0x2);
    EXPECT_EQ(0xA7, utils::initialApicId()); // still on processor 0 until it yields
    machine.yieldThread();
    EXPECT_EQ(0x5C, utils::initialApicId());

    struct Change {
        const char* what;
        std::uint32_t maxLeaf;
        const char* vendor;
        bool htFlag;
        std::uint32_t flag, logical, cores;
    };
    const Change changes[] = {
        {"another vendor", 4, "AuthenticAMD", true, 0, 1, 1},
        {"no flag", 4, "GenuineIntel", false, 0, 1, 1},
        {"no leaf 4", 3, "GenuineIntel", true, 0x10000000u, 16, 1},
        {"leaf 0 below 4 as a signed number", 0x80000004u, "GenuineIntel", true, 0x10000000u, 16,
         1},
        {"leaf 1 only", 1, "GenuineIntel", true, 0x10000000u, 16, 1},
        {"leaf 0 only", 0, "GenuineIntel", true, 0, 1, 1},
    };
    for (const Change& change : changes) {
        machine.maxLeaf = change.maxLeaf;
        machine.vendor = change.vendor;
        machine.htFlag = change.htFlag;
        machine.cpuidCalls.clear();
        EXPECT_EQ(change.flag, utils::hasHyperThreadingFlag()) << change.what;
        EXPECT_EQ(change.logical, utils::logicalProcessorsPerPackage()) << change.what;
        EXPECT_EQ(change.cores, utils::coresPerPackage()) << change.what;
        EXPECT_EQ(0u, machine.cpuidCalls[4]) << change.what;
    }
}

TEST(CpuId, QueriesExecuteTheInstructionEveryTime) {
    FakeCpuPlatform machine(0x1, {0}, 2, 2);
    ScopedCpuPlatform scoped(machine);
    utils::isGenuineIntel();
    utils::isGenuineIntel();
    EXPECT_EQ(4u, machine.cpuidCalls[0]); // the highest leaf, then the vendor, each time
    utils::coresPerPackage();
    utils::coresPerPackage();
    EXPECT_EQ(2u, machine.cpuidCalls[4]);
    EXPECT_EQ(2u, machine.cpuidCalls[1]);
}

TEST(CpuId, FieldWidthsAndSubIds) {
    const std::uint32_t widths[][2] = {{0, 32},
                                       {1, 0},
                                       {2, 1},
                                       {3, 2},
                                       {4, 2},
                                       {5, 3},
                                       {8, 3},
                                       {9, 4},
                                       {255, 8},
                                       {256, 8},
                                       {257, 9},
                                       {0x80000000u, 31},
                                       {0x80000001u, 32},
                                       {0xFFFFFFFFu, 32}};
    for (const auto& w : widths)
        EXPECT_EQ(w[1], utils::fieldWidth(w[0])) << "count " << w[0];
    // full ID, maximum, shift, sub-ID: the bits stay in place, pushed past bit 7 they are lost.
    const unsigned subIds[][4] = {{0x0B, 2, 1, 0x02},   {0x0B, 1, 1, 0x00}, {0xFF, 4, 1, 0x06},
                                  {0xFF, 4, 6, 0xC0},   {0xFF, 4, 8, 0x00}, {0xFF, 2, 200, 0x00},
                                  {0xAB, 0, 4, 0xA0},   {0xAB, 0, 0, 0xAB}, {0x7F, 16, 0, 0x0F},
                                  {0xFF, 255, 0, 0xFF}, {0xFF, 3, 7, 0x80}};
    for (const auto& s : subIds)
        EXPECT_EQ(s[3], utils::extractSubId(static_cast<std::uint8_t>(s[0]),
                                            static_cast<std::uint8_t>(s[1]),
                                            static_cast<std::uint8_t>(s[2])))
            << s[0] << ", " << s[1] << ", " << s[2];
}

// Constructs a `Detected` on the machine with tracing on; what was traced meanwhile.
template <typename Detected>
std::string detect(utils::ICpuPlatform& machine, std::unique_ptr<Detected>& cpu) {
    const vttest::ScopedEnv on(utils::traceSwitchName, "1");
    ScopedCpuPlatform scoped(machine);
    vttest::StdoutCapture out;
    cpu.reset(new Detected);
    return out.flushed();
}

// The answers of every query, "valid|error|vendor|packages cores logical perPackage|HT capable
// enabled|MP MC".
std::string answers(const utils::ICpu& cpu) {
    std::ostringstream text;
    text << cpu.isValid() << '|' << cpu.errorMessage() << '|' << cpu.vendor() << '|'
         << cpu.physicalProcessorCount() << ' ' << cpu.coreCount() << ' '
         << cpu.logicalProcessorCount() << ' ' << cpu.coresPerPhysicalProcessor() << '|'
         << cpu.isHyperThreadingCapable() << cpu.isHyperThreadingEnabled() << '|'
         << cpu.isMultiProcessor() << cpu.isMultiCore();
    return text.str();
}

// "bind 0x1", "yield", ... for each mask, a refused bind without its yield.
std::vector<std::string> walk(const std::vector<const char*>& masks) {
    std::vector<std::string> log;
    for (const char* mask : masks) {
        log.push_back(std::string("bind ") + mask);
        if (log.back().find("refused") == std::string::npos)
            log.push_back("yield");
    }
    return log;
}

TEST(SingleCoreDetection, CountsEveryPositionUpToTheHighestSystemBitAsAPackage) {
    FakeCpuPlatform machine = FakeCpuPlatform::otherVendor(0xB, 0xB);
    std::unique_ptr<utils::UnknownCpu> cpu;
    EXPECT_EQ("Unknown Cpu detected\n", detect(machine, cpu));
    EXPECT_EQ("0|Unknown Cpu detected|Unknown|4 4 4 1|00|10", answers(*cpu)); // 4, not 3
    EXPECT_EQ(walk({"0x1", "0x2", "0x4 refused", "0x8", "0xb"}), machine.log);

    FakeCpuPlatform top = FakeCpuPlatform::otherVendor(0x80000001, 0x80000001);
    detect(top, cpu);
    EXPECT_EQ("0|Unknown Cpu detected|Unknown|32 32 32 1|00|10", answers(*cpu));
    // 32 positions, 30 of them refused, then the process mask.
    EXPECT_EQ(36u, top.log.size());
    EXPECT_EQ(walk({"0x80000000", "0x80000001"}),
              std::vector<std::string>(top.log.end() - 4, top.log.end()));

    FakeCpuPlatform amd = FakeCpuPlatform::otherVendor(0x3, 0x3);
    std::unique_ptr<utils::AmdCpu> amdCpu;
    EXPECT_EQ("", detect(amd, amdCpu));
    EXPECT_EQ("1||Unknown|2 2 2 1|00|10", answers(*amdCpu));
}

TEST(SingleCoreDetection, MasksThatDifferOrCannotBeReadCountOneAndBindNothing) {
    FakeCpuPlatform narrowed = FakeCpuPlatform::otherVendor(0x5, 0xF);
    std::unique_ptr<utils::UnknownCpu> cpu;
    EXPECT_EQ(restricted + "\nUnknown Cpu detected\n", detect(narrowed, cpu));
    EXPECT_EQ("0|" + restricted + "Unknown Cpu detected|Unknown|1 1 1 1|00|00", answers(*cpu));
    EXPECT_TRUE(narrowed.log.empty());

    FakeCpuPlatform closed = FakeCpuPlatform::otherVendor(0xF, 0xF);
    closed.masksReadable = false;
    EXPECT_EQ(unreadable + "\nUnknown Cpu detected\n", detect(closed, cpu));
    EXPECT_EQ("0|" + unreadable + "Unknown Cpu detected|Unknown|1 1 1 1|00|00", answers(*cpu));
    EXPECT_TRUE(closed.log.empty());

    FakeCpuPlatform intel(0xF, {0, 1, 2, 3}, 4, 2);
    intel.processMask = 0x3;
    std::unique_ptr<utils::IntelCpu> intelCpu;
    EXPECT_EQ(restricted + "\n", detect(intel, intelCpu));
    // Capable is set before any detection; nothing of the topology runs.
    EXPECT_EQ("0|" + restricted + "|Unknown|1 1 1 1|10|00", answers(*intelCpu));
    EXPECT_TRUE(intel.log.empty());
}

// Fixed counts, for the derived answers on counts no walk produces.
struct FixedCpu : utils::Cpu {
    FixedCpu(std::uint32_t p, std::uint32_t c, std::uint32_t l, bool ht) {
        packages = p;
        cores = c;
        logicalProcessors = l;
        htCapable = ht;
    }
    void detect() override {}
};

TEST(SingleCoreDetection, DerivedAnswersDivideAndTruncate) {
    EXPECT_EQ("1|||1 2 4 2|11|01", answers(FixedCpu(1, 2, 4, true)));
    EXPECT_EQ("1|||1 2 3 2|10|01", answers(FixedCpu(1, 2, 3, true))); // 3 / 2 is 1
    EXPECT_EQ("1|||1 2 64 2|00|01", answers(FixedCpu(1, 2, 64, false)));
    EXPECT_EQ("1|||4 6 6 1|00|10", answers(FixedCpu(4, 6, 6, false)));
    EXPECT_EQ("1|||2 8 16 4|11|11", answers(FixedCpu(2, 8, 16, true)));
    EXPECT_EQ("1|||1 1 1 1|00|00", answers(FixedCpu(1, 1, 1, false)));
}

// Gives the tests the relationship lines, which only the report reads otherwise.
struct IntelProbe : utils::IntelCpu {
    const std::vector<std::string>& lines() const { return relationships; }
};

// "mask apic package core smt" per line, lines separated by ",".
std::vector<std::string> lines(const std::string& rows) {
    std::vector<std::string> result;
    std::istringstream in(rows);
    for (unsigned long mask, apic, package, core, smt;
         in >> mask >> apic >> package >> core >> smt;) {
        result.push_back("  AffinityMask = " + std::to_string(mask) + " Initial APIC = " +
                         std::to_string(apic) + " Physical ID =  " + std::to_string(package) +
                         " Core ID = " + std::to_string(core) + " SMT ID = " + std::to_string(smt));
        in.ignore(1);
    }
    return result;
}

TEST(IntelTopology, TheWorkedExampleIsReproducedToTheByte) {
    FakeCpuPlatform machine(0xF, {0, 1, 2, 3}, 4, 2);
    std::unique_ptr<IntelProbe> cpu;
    EXPECT_EQ("Hyper-Threading Technology: Enabled  \n"
              "Multi-core: Yes \n"
              "Multi-processor: No\n"
              "\n\nHardware capability and its availability to applications: \n"
              "\n  System wide availability: 1 physical processors, 2 cores, 4 logical processors\n"
              "  Multi-core capabililty : 2 cores per package \n"
              "  HT capability: 2 logical processors per core \n"
              "\n  All cores in the system are enabled for this application.\n"
              "\n\nRelationships between OS affinity mask, Initial APIC ID, and 3-level sub-IDs: \n"
              "  AffinityMask = 1 Initial APIC = 0 Physical ID =  0 Core ID = 0 SMT ID = 0\n"
              "  AffinityMask = 2 Initial APIC = 1 Physical ID =  0 Core ID = 0 SMT ID = 1\n"
              "  AffinityMask = 4 Initial APIC = 2 Physical ID =  0 Core ID = 2 SMT ID = 0\n"
              "  AffinityMask = 8 Initial APIC = 3 Physical ID =  0 Core ID = 2 SMT ID = 1\n",
              detect(machine, cpu));
    EXPECT_EQ("1||GenuineIntel|1 2 4 2|11|01", answers(*cpu));
    // The base detection walks once, the topology walk once more; the thread ends
    // bound to the process mask.
    EXPECT_EQ(walk({"0x1", "0x2", "0x4", "0x8", "0xf", "0x1", "0x2", "0x4", "0x8", "0xf"}),
              machine.log);
    EXPECT_EQ(0xFu, machine.boundMask());

    ScopedCpuPlatform scoped(machine); // enumerating again appends another set of lines
    std::uint32_t logical = 0, cores = 0, packages = 0;
    EXPECT_EQ(TopologyOutcome::MultiCoreHtEnabled,
              cpu->enumerateTopology(logical, cores, packages));
    EXPECT_EQ(4u, logical);
    EXPECT_EQ(2u, cores);
    EXPECT_EQ(1u, packages);
    EXPECT_EQ(8u, cpu->lines().size());
}

struct Machine {
    const char* name;
    FakeCpuPlatform platform;
    TopologyOutcome outcome;
    const char* answers;
    const char* headline;
    int validationFailures;
    bool allCores;
    const char* lines;
};

FakeCpuPlatform withoutHtFlag(FakeCpuPlatform machine) {
    machine.htFlag = false;
    return machine;
}

// The report that `m` must trace: headline, validation failures, report, lines.
std::string report(const Machine& m, std::uint32_t packages, std::uint32_t cores,
                   std::uint32_t logical) {
    const std::uint32_t perPackage = m.platform.htFlag ? m.platform.coresPerPackage : 1;
    const std::uint32_t logicalPerPackage = m.platform.htFlag ? m.platform.logicalPerPackage : 1;
    std::string text = std::string(m.headline) + (packages > 1 ? "yes\n" : "No\n");
    for (int i = 0; i < m.validationFailures; ++i)
        text += validation + "\n";
    text +=
        "\n\nHardware capability and its availability to applications: \n"
        "\n  System wide availability: " +
        std::to_string(packages) + " physical processors, " + std::to_string(cores) + " cores, " +
        std::to_string(logical) +
        " logical processors\n  Multi-core capabililty : " + std::to_string(perPackage) +
        " cores per package \n  HT capability: " + std::to_string(logicalPerPackage / perPackage) +
        " logical processors per core \n" + (m.allCores ? "\n  All cores" : "\n  Not all cores") +
        " in the system are enabled for this application.\n"
        "\n\nRelationships between OS affinity mask, Initial APIC ID, and 3-level sub-IDs: \n";
    for (const std::string& line : lines(m.lines))
        text += line + "\n";
    return text;
}

TEST(IntelTopology, EveryOutcomeHasItsCountsHeadlineAndReport) {
    const char* const notCapableMulti =
        "Hyper-Threading Technology: not capable  \nMulti-core: Yes \nMulti-processor: ";
    std::vector<Machine> machines = {
        {"worked example", FakeCpuPlatform(0xF, {0, 1, 2, 3}, 4, 2),
         TopologyOutcome::MultiCoreHtEnabled, "1||GenuineIntel|1 2 4 2|11|01",
         "Hyper-Threading Technology: Enabled  \nMulti-core: Yes \nMulti-processor: ", 0, true,
         "1 0 0 0 0,2 1 0 0 1,4 2 0 2 0,8 3 0 2 1"},
        {"two packages of two cores, no hyper-threading", FakeCpuPlatform(0xF, {0, 1, 2, 3}, 2, 2),
         TopologyOutcome::MultiCoreHtNotCapable, "1||GenuineIntel|2 4 4 2|10|11", notCapableMulti,
         0, true, "1 0 0 0 0,2 1 0 1 0,4 2 2 0 0,8 3 2 1 0"},
        {"single core, hyper-threading switched off", FakeCpuPlatform(0x1, {0}, 2, 1),
         TopologyOutcome::SingleCoreHtDisabled, "1||GenuineIntel|1 1 1 1|10|00",
         "Hyper-Threading Technology: Disabled  \nMulti-core: No \nMulti-processor: ", 0, true,
         "1 0 0 0 0"},
        {"no hyper-threading flag, two packages", withoutHtFlag(FakeCpuPlatform(0x3, {0, 1}, 8, 4)),
         TopologyOutcome::SingleCoreHtNotCapable, "1||GenuineIntel|2 2 2 1|00|10",
         "Hyper-Threading Technology: Not capable  \nMulti-core: No \nMulti-processor: ", 0, true,
         "1 0 0 0 0,2 1 1 0 0"},
        {"two cores, one thread each bound", FakeCpuPlatform(0x3, {0, 2}, 4, 2),
         TopologyOutcome::MultiCoreHtDisabled, "1||GenuineIntel|1 2 2 2|10|01",
         "Hyper-Threading Technology: Disabled  \nMulti-core: Yes \nMulti-processor: ", 0, true,
         "1 0 0 0 0,2 2 0 2 0"},
        {"fewer cores than the package holds", FakeCpuPlatform(0x3, {0, 1}, 4, 2),
         TopologyOutcome::SingleCoreHtEnabled, "1||GenuineIntel|1 1 2 1|11|00",
         "Hyper-Threading Technology: Enabled  \nMulti-core: No \nMulti-processor: ", 0, false,
         "1 0 0 0 0,2 1 0 0 1"},
        {"more cores than the package holds", FakeCpuPlatform(0xF, {0, 1, 2, 3}, 4, 3),
         TopologyOutcome::MultiCoreHtNotCapable, "0|%|GenuineIntel|1 4 4 4|10|01", notCapableMulti,
         1, true, "1 0 0 0 0,2 1 0 1 0,4 2 0 2 0,8 3 0 3 0"},
        {"more cores and threads than the package holds", FakeCpuPlatform(0xF, {0, 1, 2, 3}, 3, 3),
         TopologyOutcome::MultiCoreHtNotCapable, "0|%%|GenuineIntel|1 4 4 4|10|01", notCapableMulti,
         2, true, "1 0 0 0 0,2 1 0 1 0,4 2 0 2 0,8 3 0 3 0"},
        {"two packages, a gap in the masks", FakeCpuPlatform(0x1B, {0, 1, 0, 8, 9}, 2, 1),
         TopologyOutcome::SingleCoreHtEnabled, "1||GenuineIntel|2 2 4 1|11|10",
         "Hyper-Threading Technology: Enabled  \nMulti-core: No \nMulti-processor: ", 0, true,
         "1 0 0 0 0,2 1 0 0 1,8 8 8 0 0,16 9 8 0 1"},
    };
    for (Machine& m : machines) {
        SCOPED_TRACE(m.name);
        std::unique_ptr<IntelProbe> cpu;
        const std::string traced = detect(m.platform, cpu);
        std::string expected = m.answers;
        const std::size_t marks = expected.find('%');
        if (marks != std::string::npos) {
            std::string failures;
            for (int i = 0; i < m.validationFailures; ++i)
                failures += validation;
            expected.replace(marks, static_cast<std::size_t>(m.validationFailures), failures);
        }
        EXPECT_EQ(expected, answers(*cpu));
        EXPECT_EQ(report(m, cpu->physicalProcessorCount(), cpu->coreCount(),
                         cpu->logicalProcessorCount()),
                  traced);
        EXPECT_EQ(lines(m.lines), cpu->lines());
        ScopedCpuPlatform scoped(m.platform);
        std::uint32_t logical = 0, cores = 0, packages = 0;
        EXPECT_EQ(m.outcome, cpu->enumerateTopology(logical, cores, packages));
    }
}

// Digit grouping, as a host application's global locale may bring it.
struct ThousandsGrouping : std::numpunct<char> {
    char do_thousands_sep() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(IntelTopology, BitThirtyOneEndsTheWalkAndLinesKeepPlainDigits) {
    FakeCpuPlatform machine = withoutHtFlag(FakeCpuPlatform(0x80000001, {}, 1, 1));
    const std::locale host =
        std::locale::global(std::locale(std::locale::classic(), new ThousandsGrouping));
    std::unique_ptr<IntelProbe> cpu;
    detect(machine, cpu);
    std::locale::global(host);
    EXPECT_EQ("1||GenuineIntel|2 2 2 1|00|10", answers(*cpu));
    EXPECT_EQ(lines("1 0 0 0 0,2147483648 31 31 0 0"), cpu->lines());
    // Two walks of 32 positions, 30 of them refused, each ending on the process mask.
    EXPECT_EQ(72u, machine.log.size());
    EXPECT_EQ(walk({"0x80000000", "0x80000001"}),
              std::vector<std::string>(machine.log.end() - 4, machine.log.end()));
}

// The process mask narrows, or cannot be read any more, after the base detection read it.
struct NarrowingMachine : FakeCpuPlatform {
    NarrowingMachine(bool the_unreadable)
        : FakeCpuPlatform(0xF, {0, 1, 2, 3}, 4, 2), unreadableLater(the_unreadable) {}
    bool affinityMasks(std::uint32_t& process, std::uint32_t& system) override {
        if (++reads > 1) {
            processMask = 0x1;
            masksReadable = !unreadableLater;
        }
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

TEST(IntelTopology, ASilentTraceStillFillsTheObject) {
    FakeCpuPlatform machine(0xF, {0, 1, 2, 3}, 4, 3);
    ScopedCpuPlatform scoped(machine);
    const vttest::ScopedEnv off(utils::traceSwitchName, nullptr);
    vttest::StdoutCapture out;
    const IntelProbe cpu;
    EXPECT_EQ("", out.flushed());
    EXPECT_EQ(4u, cpu.lines().size());
    EXPECT_EQ("0|" + validation + "|GenuineIntel|1 4 4 4|10|01", answers(cpu));
}

TEST(CpuFactory, OneFactoryOneProcessorObjectOneDetection) {
    FakeCpuPlatform machine(0x3, {0, 1}, 2, 1);
    ScopedCpuPlatform scoped(machine);
    utils::CpuFactory* factory = utils::CpuFactory::instance();
    utils::ICpu* cpu = factory->cpu();
    ASSERT_NE(nullptr, cpu);
    const std::size_t detection = machine.log.size();
    EXPECT_EQ(factory, utils::CpuFactory::instance());
    EXPECT_EQ(cpu, utils::CpuFactory::instance()->cpu());
    EXPECT_EQ(cpu, factory->create());
    EXPECT_EQ(detection, machine.log.size());
    EXPECT_EQ("1||GenuineIntel|1 1 2 1|11|00", answers(*cpu));
}

// Runs out of memory while reading the second processor's APIC ID.
struct ExhaustedMachine : FakeCpuPlatform {
    ExhaustedMachine() : FakeCpuPlatform(0xF, {0, 1, 2, 3}, 4, 2) {}
    utils::CpuidResult cpuid(std::uint32_t leaf, std::uint32_t subleaf) override {
        if (leaf == 1 && runningOn() == 1)
            throw std::bad_alloc();
        return FakeCpuPlatform::cpuid(leaf, subleaf);
    }
};

TEST(CpuFactory, AnExceptionDuringDetectionLeavesNoProcessorAndAnUnpinnedThread) {
    ExhaustedMachine machine;
    ScopedCpuPlatform scoped(machine);
    EXPECT_THROW(utils::CpuFactory::instance(), std::bad_alloc);
    EXPECT_EQ(0xFu, machine.boundMask()); // back on the process mask, not on processor 1
    EXPECT_EQ("bind 0xf", machine.log[machine.log.size() - 2]);
    EXPECT_EQ("yield", machine.log.back());
    const std::size_t afterFailure = machine.log.size();
    utils::CpuFactory* factory = utils::CpuFactory::instance();
    EXPECT_EQ(nullptr, factory->cpu());
    EXPECT_EQ(factory, utils::CpuFactory::instance());
    EXPECT_EQ(afterFailure, machine.log.size()) << "no later call detects again";
}

// The module-wide objects made on first request come out unique when first requests race.
TEST(CpuFactory, FirstRequestsRaceToOneObjectEach) {
    FakeCpuPlatform alone(0x3, {0, 1}, 2, 1);
    {
        ScopedCpuPlatform scoped(alone);
        const utils::IntelCpu detected;
    }
    FakeCpuPlatform machine(0x3, {0, 1}, 2, 1);
    ScopedCpuPlatform scoped(machine);
    constexpr int many = 16;
    std::vector<utils::PTrace*> channels(many, nullptr);
    std::vector<utils::ICpu*> processors(many, nullptr);
    std::vector<std::string> answered(many);
    vttest::onThreadsAtOnce(many, [&](int i) {
        channels[i] = utils::PTrace::instance();
        processors[i] = utils::CpuFactory::instance()->cpu();
        answered[i] = processors[i] != nullptr ? answers(*processors[i]) : "";
    });
    EXPECT_EQ(alone.log, machine.log) << "one detection, on one thread";
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
    for (std::uint32_t bit = 0; bit < 32; ++bit) {
        const std::uint32_t mask = 1u << bit;
        EXPECT_EQ((systemMask & mask) != 0, native.bindThread(mask)) << bit;
    }
    EXPECT_FALSE(native.bindThread(0));
    EXPECT_TRUE(native.bindThread(processMask));
    native.yieldThread();

    utils::ICpu* cpu = utils::CpuFactory::instance()->cpu();
    ASSERT_NE(nullptr, cpu);
    std::cout << answers(*cpu) << std::endl;
    EXPECT_EQ(utils::isGenuineIntel() ? "GenuineIntel" : "Unknown", cpu->vendor());
    EXPECT_LE(cpu->physicalProcessorCount(), cpu->coreCount());
    EXPECT_LE(cpu->coreCount(), cpu->logicalProcessorCount());
    if (processors > 0 && processors <= 32) {
        EXPECT_EQ(processors, cpu->logicalProcessorCount());
    }
    if (!utils::isGenuineIntel()) {
        EXPECT_EQ("Unknown Cpu detected", cpu->errorMessage());
    }
}

TEST(RealMachine, ConfinedToOneProcessorTheConfigurationErrorIsRecorded) {
    if (std::thread::hardware_concurrency() < 2)
        GTEST_SKIP() << "one processor: no affinity can be narrower than the system's";
    ASSERT_TRUE(vttest::confineToFirstProcessor());
    utils::ICpu* cpu = utils::CpuFactory::instance()->cpu();
    ASSERT_NE(nullptr, cpu);
    EXPECT_EQ("0|" + restricted + (utils::isGenuineIntel() ? "" : "Unknown Cpu detected") +
                  "|Unknown|1 1 1 1|" + (cpu->isHyperThreadingCapable() ? "10" : "00") + "|00",
              answers(*cpu));
}

} // namespace
