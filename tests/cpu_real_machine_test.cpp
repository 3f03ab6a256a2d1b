// Processor detection on the machine the tests run on, through the native platform.
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "support/CpuConfinement.h"
#include "vtsupport/utils/Cpu.h"
#include "vtsupport/utils/CpuId.h"

namespace {

const char* const kConfinedMarker = "VTSUPPORT_CPU_CONFINED_RUN";
const std::string kConfigText =
    "User Configuration Error: Not all logical processors in the system are enabled while "
    "running this process. Rerun this application after making corrections. ";

void describe(const utils::ICpu& cpu) {
    std::cout << "vendor \"" << cpu.vendor() << "\", packages " << cpu.physicalProcessorCount()
              << ", cores " << cpu.coreCount() << ", logical " << cpu.logicalProcessorCount()
              << ", isValid " << (cpu.isValid() ? "true" : "false") << ", errorMessage \""
              << cpu.errorMessage() << "\"" << std::endl;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

TEST(CpuRealMachineTest, FactoryDescribesThisMachine) {
    utils::ICpu* cpu = utils::CpuFactory::instance()->cpu();
    ASSERT_NE(nullptr, cpu);
    describe(*cpu);
    EXPECT_EQ(utils::CpuFactory::instance()->cpu(), cpu);
    EXPECT_GE(cpu->physicalProcessorCount(), 1u);
    EXPECT_GE(cpu->coreCount(), cpu->physicalProcessorCount());
    EXPECT_GE(cpu->logicalProcessorCount(), cpu->coreCount());

    if (startsWith(cpu->errorMessage(), kConfigText)) {
        // Started with a narrowed affinity: nothing was counted.
        EXPECT_EQ(1u, cpu->logicalProcessorCount());
        EXPECT_EQ("Unknown", cpu->vendor());
        return;
    }
    const unsigned processors = std::thread::hardware_concurrency();
    if (processors > 0 && processors <= 32) {
        EXPECT_EQ(processors, cpu->logicalProcessorCount());
    }
    if (utils::isGenuineIntel()) {
        EXPECT_EQ("GenuineIntel", cpu->vendor());
    } else {
        EXPECT_EQ("Unknown", cpu->vendor());
        EXPECT_EQ("Unknown Cpu detected", cpu->errorMessage());
        EXPECT_EQ(cpu->logicalProcessorCount(), cpu->physicalProcessorCount());
    }
}

TEST(CpuRealMachineTest, ConfinedToOneProcessorRecordsTheConfigurationText) {
    if (std::thread::hardware_concurrency() < 2)
        GTEST_SKIP() << "one processor: no affinity can be narrower than the system's";
    if (std::getenv(kConfinedMarker) == nullptr && !vttest::confineProcessToFirstProcessor()) {
        bool available = true;
        std::string failure;
        const bool passed = vttest::runUnderTaskset(
            "CpuRealMachineTest.ConfinedToOneProcessorRecordsTheConfigurationText", kConfinedMarker,
            available, failure);
        if (!available)
            GTEST_SKIP() << failure;
        EXPECT_TRUE(passed) << failure;
        return;
    }
    utils::ICpu* cpu = utils::CpuFactory::instance()->cpu();
    ASSERT_NE(nullptr, cpu);
    describe(*cpu);
    EXPECT_FALSE(cpu->isValid());
    EXPECT_TRUE(startsWith(cpu->errorMessage(), kConfigText)) << cpu->errorMessage();
    if (!utils::isGenuineIntel()) {
        EXPECT_EQ(kConfigText + "Unknown Cpu detected", cpu->errorMessage());
    }
    EXPECT_EQ("Unknown", cpu->vendor());
    EXPECT_EQ(1u, cpu->physicalProcessorCount());
    EXPECT_EQ(1u, cpu->coreCount());
    EXPECT_EQ(1u, cpu->logicalProcessorCount());
}

} // namespace
