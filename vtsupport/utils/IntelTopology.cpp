#include <string>

#include "vtsupport/utils/Cpu.h"
#include "vtsupport/utils/CpuId.h"
#include "vtsupport/utils/detail/AffinityWalk.h"

namespace utils {

namespace {

// Package and core IDs of the bound processors, in walk order; at most one per
// bit position, so no allocation is needed.
struct SubIdTable {
    std::uint8_t packageIds[32];
    std::uint8_t coreIds[32];
    std::uint32_t count = 0;
};

// The number of distinct keys, the first entry's key listed first. 1 without entries.
template <typename Key>
std::uint32_t countDistinct(const SubIdTable& table, Key keyOf) {
    if (table.count == 0)
        return 1;
    std::uint8_t keys[32];
    std::uint32_t distinct = 0;
    keys[distinct++] = keyOf(0);
    for (std::uint32_t entry = 1; entry < table.count; ++entry) {
        const std::uint8_t key = keyOf(entry);
        bool listed = false;
        for (std::uint32_t k = 0; k < distinct && !listed; ++k)
            listed = keys[k] == key;
        if (!listed)
            keys[distinct++] = key;
    }
    return distinct;
}

std::string relationshipLine(std::uint32_t mask, std::uint8_t apicId, std::uint8_t packageId,
                             std::uint8_t coreId, std::uint8_t smtId) {
    // std::to_string writes plain digits whatever global locale the host has set
    // (a stream would take its digit grouping); 8-bit IDs are numbers, not characters.
    return "  AffinityMask = " + std::to_string(mask) +
           " Initial APIC = " + std::to_string(unsigned{apicId}) +
           " Physical ID =  " + std::to_string(unsigned{packageId}) +
           " Core ID = " + std::to_string(unsigned{coreId}) +
           " SMT ID = " + std::to_string(unsigned{smtId});
}

} // namespace

TopologyOutcome IntelCpu::enumerateTopology(std::uint32_t& logical, std::uint32_t& coreTotal,
                                            std::uint32_t& packageTotal) {
    coreTotal = 1;
    packageTotal = 1;
    std::uint32_t processMask = 0;
    std::uint32_t systemMask = 0;
    if (const char* failure = vtsupport::detail::affinityMasksOrFailure(processMask, systemMask)) {
        fail(failure);
        logical = 1;
        return TopologyOutcome::AffinityRestricted;
    }
    if (processMask != systemMask)
        return TopologyOutcome::AffinityRestricted;

    const std::uint32_t ratio = logicalProcessorsPerPackage() / coresPerPackage();
    const std::uint8_t maxSmtIds = static_cast<std::uint8_t>(ratio);
    const std::uint8_t smtWidth = static_cast<std::uint8_t>(fieldWidth(maxSmtIds));
    SubIdTable table;
    vtsupport::detail::walkAffinity(systemMask, processMask, [&](std::uint32_t mask) {
        // Read on the processor just bound to; the per-package maxima too.
        const std::uint8_t apicId = initialApicId();
        const std::uint8_t smtId = extractSubId(apicId, maxSmtIds, 0);
        const std::uint8_t coreId =
            extractSubId(apicId, static_cast<std::uint8_t>(coresPerPackage()), smtWidth);
        // A maximum of 0 is 32 bits wide: every bit from the package width upward.
        const std::uint8_t packageWidth =
            static_cast<std::uint8_t>(fieldWidth(logicalProcessorsPerPackage()));
        const std::uint8_t packageId = extractSubId(apicId, 0, packageWidth);
        table.packageIds[table.count] = packageId;
        table.coreIds[table.count] = coreId;
        ++table.count;
        relationships.push_back(relationshipLine(mask, apicId, packageId, coreId, smtId));
    });

    if (table.count == 0) {
        fail(vtsupport::detail::kNoProcessorBound);
        logical = 1;
        return TopologyOutcome::AffinityRestricted;
    }
    logical = table.count;
    coreTotal = countDistinct(table, [&table](std::uint32_t entry) {
        return static_cast<std::uint8_t>(table.packageIds[entry] | table.coreIds[entry]);
    });
    packageTotal =
        countDistinct(table, [&table](std::uint32_t entry) { return table.packageIds[entry]; });

    const bool multiCore = coreTotal > packageTotal;
    if (ratio == 1)
        return multiCore ? TopologyOutcome::MultiCoreHtNotCapable
                         : TopologyOutcome::SingleCoreHtNotCapable;
    if (coreTotal < table.count)
        return multiCore ? TopologyOutcome::MultiCoreHtEnabled
                         : TopologyOutcome::SingleCoreHtEnabled;
    return multiCore ? TopologyOutcome::MultiCoreHtDisabled : TopologyOutcome::SingleCoreHtDisabled;
}

} // namespace utils
