/// @file
/// CPUID queries. Each executes the instruction anew through
/// utils::cpuPlatform(), on whatever processor the calling thread runs on;
/// nothing is cached, so a thread bound to another processor gets that
/// processor's answers. Where the processor has no CPUID, every leaf reads as zero.
#pragma once

#include <cstdint>

#include "vtsupport/Export.h"

namespace utils {

/// Leaf 0 EAX: the highest standard leaf.
VTSUPPORT_API std::uint32_t maxStandardLeaf();
/// True when leaf 0 names "GenuineIntel"; never when the highest standard leaf is 0.
VTSUPPORT_API bool isGenuineIntel();
/// No AMD-specific detection exists, so this answers false on every processor.
VTSUPPORT_API bool isAmd();
/// Leaf 1 EDX bit 28 (left in place) on a "GenuineIntel" processor with leaf 1,
/// else 0. Non-zero means the hyper-threading flag is set.
VTSUPPORT_API std::uint32_t hasHyperThreadingFlag();
/// Leaf 1 EBX bits 23..16 when the hyper-threading flag is set, else 1.
VTSUPPORT_API std::uint32_t logicalProcessorsPerPackage();
/// Leaf 4 EAX bits 31..26 plus 1 when the flag is set and leaf 4 exists, else 1.
VTSUPPORT_API std::uint32_t coresPerPackage();
/// Leaf 1 EBX bits 31..24: the initial APIC ID of the processor the thread runs on.
VTSUPPORT_API std::uint8_t initialApicId();
/// Bits needed for `count` distinct values: 0 for 1, 1 for 2, 2 for 3 and 4,
/// 3 for 5 to 8, ...; 32 for 0.
VTSUPPORT_API std::uint32_t fieldWidth(std::uint32_t count);
/// The bits of `fullId` from position `shift` upward, fieldWidth(`maxSubIds`)
/// of them, left in place (not shifted down). Masks are 8 bits wide: bits
/// shifted past bit 7 are lost, and a shift of 8 or more gives 0.
VTSUPPORT_API std::uint8_t extractSubId(std::uint8_t fullId, std::uint8_t maxSubIds,
                                        std::uint8_t shift);

} // namespace utils
