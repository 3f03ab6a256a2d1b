// The CPUID queries against scripted processors.
#include <cstdint>

#include <gtest/gtest.h>

#include "support/FakeCpuPlatform.h"
#include "vtsupport/utils/CpuId.h"

namespace {

using vttest::FakeCpuPlatform;

TEST(CpuIdTest, VendorTestNeedsLeafZeroToNameGenuineIntel) {
    FakeCpuPlatform machine;
    vttest::ScopedCpuPlatform scoped(machine);
    EXPECT_EQ(4u, utils::maxStandardLeaf());
    EXPECT_TRUE(utils::isGenuineIntel());
    EXPECT_FALSE(utils::isAmd());

    machine.maxLeaf = 0; // leaf 0 still names the vendor, but nothing lies beyond it
    EXPECT_FALSE(utils::isGenuineIntel());
    machine.maxLeaf = 1;
    for (const char* other : {"GenuineIntex", "GenuIneIntel", "genuineIntel", "AuthenticAMD", ""}) {
        machine.vendor = other;
        EXPECT_FALSE(utils::isGenuineIntel()) << other;
    }
    machine.vendor = "AuthenticAMD";
    EXPECT_FALSE(utils::isAmd());
}

TEST(CpuIdTest, HyperThreadingFlagOnlyCountsOnGenuineIntel) {
    FakeCpuPlatform machine = FakeCpuPlatform::intel(0x1, {0x5A}, 16, 8);
    vttest::ScopedCpuPlatform scoped(machine);
    EXPECT_EQ(0x10000000u, utils::hasHyperThreadingFlag());
    EXPECT_EQ(16u, utils::logicalProcessorsPerPackage());
    EXPECT_EQ(8u, utils::coresPerPackage());

    machine.vendor = "AuthenticAMD"; // the same bit means nothing here
    EXPECT_EQ(0u, utils::hasHyperThreadingFlag());
    EXPECT_EQ(1u, utils::logicalProcessorsPerPackage());
    EXPECT_EQ(1u, utils::coresPerPackage());

    machine.vendor = "GenuineIntel";
    machine.htFlag = false;
    EXPECT_EQ(0u, utils::hasHyperThreadingFlag());
    EXPECT_EQ(1u, utils::logicalProcessorsPerPackage());
    EXPECT_EQ(1u, utils::coresPerPackage());
}

TEST(CpuIdTest, CoresPerPackageNeedsLeafFour) {
    FakeCpuPlatform machine = FakeCpuPlatform::intel(0x1, {0}, 8, 4);
    vttest::ScopedCpuPlatform scoped(machine);
    EXPECT_EQ(4u, utils::coresPerPackage());
    machine.coresPerPackage = 64;
    EXPECT_EQ(64u, utils::coresPerPackage());
    machine.cpuidCalls.clear();
    machine.maxLeaf = 3;
    EXPECT_EQ(1u, utils::coresPerPackage());
    EXPECT_EQ(8u, utils::logicalProcessorsPerPackage());
    machine.maxLeaf = 0x80000004; // negative as a signed number: below 4
    EXPECT_EQ(1u, utils::coresPerPackage());
    EXPECT_EQ(0u, machine.cpuidCalls[4]);
}

TEST(CpuIdTest, InitialApicIdIsTheRunningProcessors) {
    FakeCpuPlatform machine = FakeCpuPlatform::intel(0x3, {0xA7, 0x5C}, 2, 1);
    vttest::ScopedCpuPlatform scoped(machine);
    EXPECT_EQ(0xA7, utils::initialApicId());
    machine.bindThread(0x2);
    machine.yieldThread();
    EXPECT_EQ(0x5C, utils::initialApicId());
}

TEST(CpuIdTest, QueriesExecuteTheInstructionEveryTime) {
    FakeCpuPlatform machine = FakeCpuPlatform::intel(0x1, {0}, 2, 2);
    vttest::ScopedCpuPlatform scoped(machine);
    utils::isGenuineIntel();
    utils::isGenuineIntel();
    EXPECT_EQ(4u, machine.cpuidCalls[0]); // the highest leaf, then the vendor, each time
    utils::coresPerPackage();
    utils::coresPerPackage();
    EXPECT_EQ(2u, machine.cpuidCalls[4]);
    EXPECT_EQ(2u, machine.cpuidCalls[1]);
}

TEST(CpuIdTest, FieldWidthAndSubIds) {
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

    EXPECT_EQ(0x02, utils::extractSubId(0x0B, 2, 1));
    EXPECT_EQ(0x00, utils::extractSubId(0x0B, 1, 1)); // width 0: nothing
    EXPECT_EQ(0x06, utils::extractSubId(0xFF, 4, 1)); // bits 1 and 2, in place
    EXPECT_EQ(0xC0, utils::extractSubId(0xFF, 4, 6)); // bits pushed past bit 7 are lost
    EXPECT_EQ(0x00, utils::extractSubId(0xFF, 4, 8)); // a shift of 8 or more leaves nothing
    EXPECT_EQ(0x00, utils::extractSubId(0xFF, 2, 200));
    EXPECT_EQ(0xA0, utils::extractSubId(0xAB, 0, 4)); // maximum 0: width 32, every higher bit
    EXPECT_EQ(0xAB, utils::extractSubId(0xAB, 0, 0));
    EXPECT_EQ(0x0F, utils::extractSubId(0x7F, 16, 0));
}

} // namespace
