// Processor identification: the single-core detection and its affinity walk, the
// vendor classes, the derived queries and the factory, on scripted machines.
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/FakeCpuPlatform.h"
#include "support/TestSupport.h"
#include "vtsupport/utils/Cpu.h"
#include "vtsupport/utils/Trace.h"

namespace {

using vttest::FakeCpuPlatform;

const std::string kConfigText =
    "User Configuration Error: Not all logical processors in the system are enabled while "
    "running this process. Rerun this application after making corrections. ";

class CpuTest : public ::testing::Test {
protected:
    void SetUp() override { vttest::setEnv(utils::traceSwitchName, "1"); }
    void TearDown() override { vttest::unsetEnv(utils::traceSwitchName); }

    // Constructs a `Detected` on the machine; returns what was traced meanwhile.
    template <typename Detected>
    std::string detect(FakeCpuPlatform& machine, std::unique_ptr<Detected>& cpu) {
        vttest::ScopedCpuPlatform scoped(machine);
        vttest::CoutCapture out;
        cpu.reset(new Detected);
        return out.text();
    }
};

void expectCounts(const utils::ICpu& cpu, std::uint32_t all) {
    EXPECT_EQ(all, cpu.physicalProcessorCount());
    EXPECT_EQ(all, cpu.coreCount());
    EXPECT_EQ(all, cpu.logicalProcessorCount());
}

TEST_F(CpuTest, UnknownVendorCountsEveryProcessorAsAPackage) {
    FakeCpuPlatform machine = FakeCpuPlatform::otherVendor(0xF, 0xF);
    std::unique_ptr<utils::UnknownCpu> cpu;
    EXPECT_EQ("Unknown Cpu detected\n", detect(machine, cpu));
    EXPECT_EQ("Unknown", cpu->vendor());
    expectCounts(*cpu, 4);
    EXPECT_FALSE(cpu->isHyperThreadingCapable());
    EXPECT_FALSE(cpu->isValid());
    EXPECT_EQ("Unknown Cpu detected", cpu->errorMessage());
    EXPECT_EQ((std::vector<std::string>{"bind 0x1", "yield", "bind 0x2", "yield", "bind 0x4",
                                        "yield", "bind 0x8", "yield", "bind 0xf", "yield"}),
              machine.log);
}

TEST_F(CpuTest, WalkCountsPositionsUpToTheHighestSystemBit) {
    FakeCpuPlatform gap = FakeCpuPlatform::otherVendor(0xB, 0xB);
    std::unique_ptr<utils::UnknownCpu> cpu;
    detect(gap, cpu);
    expectCounts(*cpu, 4); // not 3: the refused position counts too
    EXPECT_EQ(
        (std::vector<std::string>{"bind 0x1", "yield", "bind 0x2", "yield", "bind 0x4 refused",
                                  "bind 0x8", "yield", "bind 0xb", "yield"}),
        gap.log);

    FakeCpuPlatform top = FakeCpuPlatform::otherVendor(0x80000001, 0x80000001);
    detect(top, cpu);
    expectCounts(*cpu, 32);
    const std::vector<std::string> binds = top.binds();
    ASSERT_EQ(33u, binds.size()); // 32 positions, then the process mask
    EXPECT_EQ("bind 0x80000000", binds[31]);
    EXPECT_EQ("bind 0x80000001", binds[32]);
}

TEST_F(CpuTest, RestrictedProcessMaskBindsNothingAndCountsOne) {
    FakeCpuPlatform other = FakeCpuPlatform::otherVendor(0x5, 0xF);
    std::unique_ptr<utils::UnknownCpu> unknown;
    EXPECT_EQ(kConfigText + "\nUnknown Cpu detected\n", detect(other, unknown));
    EXPECT_EQ(kConfigText + "Unknown Cpu detected", unknown->errorMessage());
    expectCounts(*unknown, 1);
    EXPECT_TRUE(other.log.empty());
}

TEST_F(CpuTest, UnreadableMasksCountOne) {
    FakeCpuPlatform machine = FakeCpuPlatform::otherVendor(0xF, 0xF);
    machine.masksReadable = false;
    std::unique_ptr<utils::UnknownCpu> cpu;
    EXPECT_EQ("Cannot read the process affinity mask. \nUnknown Cpu detected\n",
              detect(machine, cpu));
    EXPECT_EQ("Cannot read the process affinity mask. Unknown Cpu detected", cpu->errorMessage());
    expectCounts(*cpu, 1);
    EXPECT_TRUE(machine.log.empty());
}

TEST_F(CpuTest, AmdDetectionLeavesTheSingleCoreAnswers) {
    FakeCpuPlatform machine = FakeCpuPlatform::otherVendor(0x3, 0x3);
    std::unique_ptr<utils::AmdCpu> cpu;
    EXPECT_EQ("", detect(machine, cpu));
    EXPECT_TRUE(cpu->isValid());
    EXPECT_EQ("Unknown", cpu->vendor());
    expectCounts(*cpu, 2);
    EXPECT_TRUE(cpu->isMultiProcessor());
    EXPECT_FALSE(cpu->isMultiCore());
}

// Fixed answers, to exercise the derived queries on counts no walk produces.
class FixedCpu : public utils::Cpu {
public:
    FixedCpu() = default;
    FixedCpu(std::uint32_t p, std::uint32_t c, std::uint32_t l, bool ht) {
        packages = p;
        cores = c;
        logicalProcessors = l;
        htCapable = ht;
    }
    void detect() override {}
};

TEST(CpuQueriesTest, DerivedAnswersDivideAndTruncate) {
    const FixedCpu fresh;
    EXPECT_TRUE(fresh.isValid());
    EXPECT_EQ("", fresh.vendor());
    EXPECT_EQ("", fresh.errorMessage());
    EXPECT_EQ(1u, fresh.physicalProcessorCount());
    EXPECT_EQ(1u, fresh.coreCount());
    EXPECT_EQ(1u, fresh.logicalProcessorCount());

    EXPECT_TRUE(FixedCpu(1, 2, 4, true).isHyperThreadingEnabled());
    EXPECT_FALSE(FixedCpu(1, 2, 3, true).isHyperThreadingEnabled()); // 3 / 2 is 1
    EXPECT_FALSE(FixedCpu(1, 2, 4, false).isHyperThreadingEnabled());
    EXPECT_FALSE(FixedCpu(1, 2, 64, false).isHyperThreadingEnabled());

    const FixedCpu uneven(4, 6, 6, false);
    EXPECT_EQ(1u, uneven.coresPerPhysicalProcessor());
    EXPECT_FALSE(uneven.isMultiCore());
    EXPECT_TRUE(uneven.isMultiProcessor());

    const FixedCpu dual(2, 8, 16, true);
    EXPECT_EQ(4u, dual.coresPerPhysicalProcessor());
    EXPECT_TRUE(dual.isMultiCore());
    EXPECT_TRUE(dual.isHyperThreadingEnabled());
}

TEST(CpuFactoryTest, OneFactoryOneProcessorObjectOneDetection) {
    FakeCpuPlatform machine = FakeCpuPlatform::intel(0x3, {0, 1}, 2, 1);
    vttest::ScopedCpuPlatform scoped(machine);
    utils::CpuFactory* factory = utils::CpuFactory::instance();
    ASSERT_NE(nullptr, factory);
    utils::ICpu* cpu = factory->cpu();
    ASSERT_NE(nullptr, cpu);
    const std::size_t logAfterDetection = machine.log.size();
    EXPECT_EQ(factory, utils::CpuFactory::instance());
    EXPECT_EQ(cpu, utils::CpuFactory::instance()->cpu());
    EXPECT_EQ(cpu, factory->create());
    EXPECT_EQ(logAfterDetection, machine.log.size());
    EXPECT_EQ("GenuineIntel", cpu->vendor());
    EXPECT_EQ(2u, cpu->logicalProcessorCount());
    EXPECT_EQ(1u, cpu->coreCount());
    EXPECT_TRUE(cpu->isHyperThreadingEnabled());
    EXPECT_TRUE(cpu->isValid());
}

// Runs out of memory while reading the second processor's APIC ID.
class ExhaustedMachine : public FakeCpuPlatform {
public:
    explicit ExhaustedMachine(const FakeCpuPlatform& machine) : FakeCpuPlatform(machine) {}
    utils::CpuidResult cpuid(std::uint32_t leaf, std::uint32_t subleaf) override {
        if (leaf == 1 && runningOn() == 1)
            throw std::bad_alloc();
        return FakeCpuPlatform::cpuid(leaf, subleaf);
    }
};

TEST(CpuFactoryTest, ExceptionDuringDetectionLeavesNoProcessorAndAnUnpinnedThread) {
    ExhaustedMachine machine(FakeCpuPlatform::intel(0xF, {0, 1, 2, 3}, 4, 2));
    vttest::ScopedCpuPlatform scoped(machine);
    EXPECT_THROW(utils::CpuFactory::instance(), std::bad_alloc);
    // The thread is back on the process mask, not left on processor 1.
    EXPECT_EQ(0xFu, machine.boundMask());
    ASSERT_GE(machine.log.size(), 2u);
    EXPECT_EQ("bind 0xf", machine.log[machine.log.size() - 2]);
    EXPECT_EQ("yield", machine.log.back());

    const std::size_t logAfterFailure = machine.log.size();
    utils::CpuFactory* factory = utils::CpuFactory::instance();
    ASSERT_NE(nullptr, factory);
    EXPECT_EQ(nullptr, factory->cpu());
    EXPECT_EQ(factory, utils::CpuFactory::instance());
    EXPECT_EQ(logAfterFailure, machine.log.size()) << "no later call detects again";
}

TEST(CpuFactoryTest, RacingFirstCallsMakeOneObject) {
    FakeCpuPlatform machine = FakeCpuPlatform::otherVendor(0x3, 0x3);
    vttest::ScopedCpuPlatform scoped(machine);
    std::vector<std::thread> threads;
    std::vector<utils::ICpu*> seen(8, nullptr);
    for (std::size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&seen, i] { seen[i] = utils::CpuFactory::instance()->cpu(); });
    for (std::thread& t : threads)
        t.join();
    ASSERT_NE(nullptr, seen[0]);
    for (utils::ICpu* cpu : seen)
        EXPECT_EQ(seen[0], cpu);
    EXPECT_EQ(3u, machine.binds().size()); // one walk: two processors, then the process mask
    EXPECT_EQ("Unknown Cpu detected", seen[0]->errorMessage());
}

} // namespace
