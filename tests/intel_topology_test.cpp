// Topology enumeration of "GenuineIntel" processors, on scripted machines.
#include <cstdint>
#include <locale>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/FakeCpuPlatform.h"
#include "support/TestSupport.h"
#include "vtsupport/utils/Cpu.h"
#include "vtsupport/utils/Trace.h"

namespace {

using utils::TopologyOutcome;
using vttest::FakeCpuPlatform;

const std::string kOneSpaceConfigText =
    "User Configuration Error: Not all logical processors in the system are enabled while "
    "running this process. Rerun this application after making corrections. ";
const std::string kTwentySpaceConfigText =
    "User Configuration Error: Not all logical processors in the system are enabled          "
    "          while running this process. Rerun this application after making corrections. ";
const std::string kValidationText = "Algorithm failed validation check for IntelCpu.";

// Gives the tests the relationship lines, which only the report reads otherwise.
class IntelProbe : public utils::IntelCpu {
public:
    const std::vector<std::string>& lines() const { return relationships; }
};

class IntelTopologyTest : public ::testing::Test {
protected:
    void SetUp() override { vttest::setEnv(utils::traceSwitchName, "1"); }
    void TearDown() override { vttest::unsetEnv(utils::traceSwitchName); }

    // Detects on the machine and returns what was traced meanwhile.
    std::string detect(FakeCpuPlatform& machine) {
        vttest::ScopedCpuPlatform scoped(machine);
        vttest::CoutCapture out;
        cpu.reset(new IntelProbe);
        return out.text();
    }

    std::unique_ptr<IntelProbe> cpu;
};

std::string line(unsigned mask, unsigned apic, unsigned package, unsigned core, unsigned smt) {
    return "  AffinityMask = " + std::to_string(mask) + " Initial APIC = " + std::to_string(apic) +
           " Physical ID =  " + std::to_string(package) + " Core ID = " + std::to_string(core) +
           " SMT ID = " + std::to_string(smt);
}

TEST_F(IntelTopologyTest, WorkedExampleIsReproducedToTheByte) {
    FakeCpuPlatform machine = FakeCpuPlatform::intel(0xF, {0, 1, 2, 3}, 4, 2);
    const std::string traced = detect(machine);

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
              traced);
    EXPECT_TRUE(cpu->isValid());
    EXPECT_EQ("", cpu->errorMessage());
    EXPECT_EQ("GenuineIntel", cpu->vendor());
    EXPECT_EQ(1u, cpu->physicalProcessorCount());
    EXPECT_EQ(2u, cpu->coreCount());
    EXPECT_EQ(4u, cpu->logicalProcessorCount());
    EXPECT_EQ(2u, cpu->coresPerPhysicalProcessor());
    EXPECT_TRUE(cpu->isHyperThreadingCapable());
    EXPECT_TRUE(cpu->isHyperThreadingEnabled());
    EXPECT_TRUE(cpu->isMultiCore());
    EXPECT_FALSE(cpu->isMultiProcessor());
    EXPECT_EQ((std::vector<std::string>{line(1, 0, 0, 0, 0), line(2, 1, 0, 0, 1),
                                        line(4, 2, 0, 2, 0), line(8, 3, 0, 2, 1)}),
              cpu->lines());

    // The base detection walks once, the topology walk once more; every bind is
    // followed by a yield and the thread ends bound to the process mask.
    std::vector<std::string> expected;
    for (int walk = 0; walk < 2; ++walk)
        for (const char* mask : {"0x1", "0x2", "0x4", "0x8", "0xf"}) {
            expected.push_back(std::string("bind ") + mask);
            expected.push_back("yield");
        }
    EXPECT_EQ(expected, machine.log);
    EXPECT_EQ(0xFu, machine.boundMask());

    // Enumerating again gives the outcome and appends another set of lines.
    vttest::ScopedCpuPlatform scoped(machine);
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
    std::uint32_t packages, cores, logical;
    TopologyOutcome outcome;
    const char* headline; // with the answer after "Multi-processor: "
    bool allCoresLine;
    int validationFailures;
    std::vector<std::string> lines;
};

FakeCpuPlatform withoutHtFlag(FakeCpuPlatform machine) {
    machine.htFlag = false;
    return machine;
}

TEST_F(IntelTopologyTest, EveryOutcomeHasItsCountsHeadlineAndReport) {
    std::vector<Machine> machines = {
        {"two packages of two cores, no hyper-threading",
         FakeCpuPlatform::intel(0xF, {0, 1, 2, 3}, 2, 2),
         2,
         4,
         4,
         TopologyOutcome::MultiCoreHtNotCapable,
         "Hyper-Threading Technology: not capable  \nMulti-core: Yes \nMulti-processor: yes\n",
         true,
         0,
         {line(1, 0, 0, 0, 0), line(2, 1, 0, 1, 0), line(4, 2, 2, 0, 0), line(8, 3, 2, 1, 0)}},
        {"single core, hyper-threading switched off",
         FakeCpuPlatform::intel(0x1, {0}, 2, 1),
         1,
         1,
         1,
         TopologyOutcome::SingleCoreHtDisabled,
         "Hyper-Threading Technology: Disabled  \nMulti-core: No \nMulti-processor: No\n",
         true,
         0,
         {line(1, 0, 0, 0, 0)}},
        {"no hyper-threading flag, two packages",
         withoutHtFlag(FakeCpuPlatform::intel(0x3, {0, 1}, 8, 4)),
         2,
         2,
         2,
         TopologyOutcome::SingleCoreHtNotCapable,
         "Hyper-Threading Technology: Not capable  \nMulti-core: No \nMulti-processor: yes\n",
         true,
         0,
         {line(1, 0, 0, 0, 0), line(2, 1, 1, 0, 0)}},
        {"two cores, one thread each bound",
         FakeCpuPlatform::intel(0x3, {0, 2}, 4, 2),
         1,
         2,
         2,
         TopologyOutcome::MultiCoreHtDisabled,
         "Hyper-Threading Technology: Disabled  \nMulti-core: Yes \nMulti-processor: No\n",
         true,
         0,
         {line(1, 0, 0, 0, 0), line(2, 2, 0, 2, 0)}},
        {"fewer cores than the package holds",
         FakeCpuPlatform::intel(0x3, {0, 1}, 4, 2),
         1,
         1,
         2,
         TopologyOutcome::SingleCoreHtEnabled,
         "Hyper-Threading Technology: Enabled  \nMulti-core: No \nMulti-processor: No\n",
         false,
         0,
         {line(1, 0, 0, 0, 0), line(2, 1, 0, 0, 1)}},
        {"more cores than the package holds",
         FakeCpuPlatform::intel(0xF, {0, 1, 2, 3}, 4, 3),
         1,
         4,
         4,
         TopologyOutcome::MultiCoreHtNotCapable,
         "Hyper-Threading Technology: not capable  \nMulti-core: Yes \nMulti-processor: No\n",
         true,
         1,
         {line(1, 0, 0, 0, 0), line(2, 1, 0, 1, 0), line(4, 2, 0, 2, 0), line(8, 3, 0, 3, 0)}},
        {"more cores and threads than the package holds",
         FakeCpuPlatform::intel(0xF, {0, 1, 2, 3}, 3, 3),
         1,
         4,
         4,
         TopologyOutcome::MultiCoreHtNotCapable,
         "Hyper-Threading Technology: not capable  \nMulti-core: Yes \nMulti-processor: No\n",
         true,
         2,
         {line(1, 0, 0, 0, 0), line(2, 1, 0, 1, 0), line(4, 2, 0, 2, 0), line(8, 3, 0, 3, 0)}},
    };
    for (Machine& m : machines) {
        SCOPED_TRACE(m.name);
        const std::string traced = detect(m.platform);
        EXPECT_EQ(m.packages, cpu->physicalProcessorCount());
        EXPECT_EQ(m.cores, cpu->coreCount());
        EXPECT_EQ(m.logical, cpu->logicalProcessorCount());
        EXPECT_EQ(m.lines, cpu->lines());
        EXPECT_EQ(m.platform.htFlag, cpu->isHyperThreadingCapable());

        std::string failures;
        std::string failureLines;
        for (int i = 0; i < m.validationFailures; ++i) {
            failures += kValidationText;
            failureLines += kValidationText + "\n";
        }
        EXPECT_EQ(failures, cpu->errorMessage());
        EXPECT_EQ(m.validationFailures == 0, cpu->isValid());
        // Headline, then the validation failures, then the report ending in the lines.
        const std::string start =
            m.headline + failureLines +
            "\n\nHardware capability and its availability to applications: \n";
        EXPECT_EQ(start, traced.substr(0, start.size()));
        const std::string coresLine =
            m.allCoresLine ? "\n  All cores in the system are enabled for this application.\n"
                           : "\n  Not all cores in the system are enabled for this application.\n";
        EXPECT_NE(std::string::npos, traced.find(coresLine));
        std::string tail =
            "\n\nRelationships between OS affinity mask, Initial APIC ID, and 3-level sub-IDs: \n";
        for (const std::string& l : m.lines)
            tail += l + "\n";
        ASSERT_GE(traced.size(), tail.size());
        EXPECT_EQ(tail, traced.substr(traced.size() - tail.size()));

        vttest::ScopedCpuPlatform scoped(m.platform);
        std::uint32_t logical = 0, cores = 0, packages = 0;
        EXPECT_EQ(m.outcome, cpu->enumerateTopology(logical, cores, packages));
    }
}

// Digit grouping as a host application's global locale may bring it.
class ThousandsGrouping : public std::numpunct<char> {
protected:
    char do_thousands_sep() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
};

TEST_F(IntelTopologyTest, BitThirtyOneEndsTheWalk) {
    FakeCpuPlatform machine = withoutHtFlag(FakeCpuPlatform::intel(0x80000001, {}, 1, 1));
    // The lines keep plain digits under a host's grouping locale.
    const std::locale hostLocale =
        std::locale::global(std::locale(std::locale::classic(), new ThousandsGrouping));
    detect(machine);
    std::locale::global(hostLocale);
    EXPECT_EQ(2u, cpu->logicalProcessorCount());
    EXPECT_EQ(2u, cpu->physicalProcessorCount());
    ASSERT_EQ(2u, cpu->lines().size());
    EXPECT_EQ(line(2147483648u, 31, 31, 0, 0), cpu->lines()[1]);

    // Two walks of 32 positions, 30 of them refused, each ending on the process mask.
    const std::vector<std::string> binds = machine.binds();
    ASSERT_EQ(66u, binds.size());
    EXPECT_EQ("bind 0x80000000", binds[64]);
    EXPECT_EQ("bind 0x80000001", binds[65]);
    EXPECT_EQ(2 * (66u - 30u), machine.log.size()); // every bind that succeeded, yielded
}

TEST_F(IntelTopologyTest, RestrictedProcessMaskStopsBeforeTheTopology) {
    FakeCpuPlatform machine = FakeCpuPlatform::intel(0xF, {0, 1, 2, 3}, 4, 2);
    machine.processMask = 0x3;
    const std::string traced = detect(machine);
    EXPECT_EQ(kOneSpaceConfigText + "\n", traced);
    EXPECT_EQ(kOneSpaceConfigText, cpu->errorMessage());
    EXPECT_FALSE(cpu->isValid());
    EXPECT_EQ("Unknown", cpu->vendor());
    EXPECT_TRUE(cpu->isHyperThreadingCapable()); // set before any detection
    EXPECT_EQ(1u, cpu->physicalProcessorCount());
    EXPECT_EQ(1u, cpu->coreCount());
    EXPECT_EQ(1u, cpu->logicalProcessorCount());
    EXPECT_TRUE(cpu->lines().empty());
    EXPECT_TRUE(machine.log.empty());
}

// The process mask narrows after the base detection has read it.
class NarrowingMachine : public FakeCpuPlatform {
public:
    explicit NarrowingMachine(const FakeCpuPlatform& machine) : FakeCpuPlatform(machine) {}
    bool affinityMasks(std::uint32_t& process, std::uint32_t& system) override {
        const bool read = FakeCpuPlatform::affinityMasks(process, system);
        if (++reads > 1) {
            processMask = 0x1;
            process = processMask;
            masksReadable = !unreadableLater;
            return unreadableLater ? false : read;
        }
        return read;
    }
    int reads = 0;
    bool unreadableLater = false;
};

TEST_F(IntelTopologyTest, MaskChangingDuringDetectionIsRecordedOnce) {
    NarrowingMachine machine(FakeCpuPlatform::intel(0xF, {0, 1, 2, 3}, 4, 2));
    const std::string traced = detect(machine);
    EXPECT_EQ(kTwentySpaceConfigText + "\n", traced);
    EXPECT_EQ(kTwentySpaceConfigText, cpu->errorMessage());
    EXPECT_EQ("GenuineIntel", cpu->vendor());
    EXPECT_EQ(1u, cpu->physicalProcessorCount());
    EXPECT_EQ(1u, cpu->coreCount());
    EXPECT_EQ(4u, cpu->logicalProcessorCount()); // as the base detection counted
    EXPECT_TRUE(cpu->lines().empty());

    NarrowingMachine unreadable(FakeCpuPlatform::intel(0xF, {0, 1, 2, 3}, 4, 2));
    unreadable.unreadableLater = true;
    EXPECT_EQ("Cannot read the process affinity mask. \n", detect(unreadable));
    EXPECT_EQ("Cannot read the process affinity mask. ", cpu->errorMessage());
    EXPECT_EQ(1u, cpu->logicalProcessorCount());
    EXPECT_EQ(1u, cpu->coreCount());
}

TEST_F(IntelTopologyTest, SilentTraceStillFillsTheObject) {
    vttest::unsetEnv(utils::traceSwitchName);
    FakeCpuPlatform machine = FakeCpuPlatform::intel(0xF, {0, 1, 2, 3}, 4, 3);
    EXPECT_EQ("", detect(machine));
    EXPECT_EQ(4u, cpu->lines().size());
    EXPECT_EQ(4u, cpu->coreCount());
    EXPECT_EQ(kValidationText, cpu->errorMessage());
}

} // namespace
