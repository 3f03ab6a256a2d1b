// Processor topology, on scripted machines and on the one the tests run on.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/Support.h"
#include "vtsupport/platform/CpuPlatform.h"
#include "vtsupport/utils/Cpu.h"
#include "vtsupport/utils/CpuId.h"
#include "vtsupport/utils/Trace.h"
#include "vtsupport/utils/detail/CpuList.h"

namespace {
// A scripted machine for the processor classes. CPUID answers as the logical processor the thread
// runs on; a bind moves the thread only at its next yield (as a scheduler would), so code that
// reads before yielding reads the wrong processor. Binds outside the process mask are refused.
// Binds and yields are logged in order.
class FakeCpuPlatform : public utils::ICpuPlatform {
public:
    // A "GenuineIntel" machine whose masks are both `mask`.
    FakeCpuPlatform(std::uint32_t mask, std::vector<std::uint8_t> the_apic_ids,
                    std::uint32_t the_logical, std::uint32_t the_cores)
        : logicalPerPackage(the_logical), coresPerPackage(the_cores),
          apicIds(std::move(the_apic_ids)), processMask(mask), systemMask(mask),
          its_running(lowestBit(mask)) {}
    // Leaf 0: the highest standard leaf and the twelve vendor characters.
    std::uint32_t maxLeaf = 4;
    std::string vendor = "GenuineIntel";
    // Leaf 1 EDX bit 28, EBX bits 23..16; leaf 4 EAX bits 31..26 hold coresPerPackage - 1.
    bool htFlag = true;
    std::uint32_t logicalPerPackage, coresPerPackage;
    // Initial APIC ID of logical processor i (bit i of the masks); i itself when not listed.
    std::vector<std::uint8_t> apicIds;
    std::uint32_t processMask, systemMask;
    bool masksReadable = true;
    bool bindsRefused = false; // every bind, as under a policy that forbids them
    unsigned exhaustedOn = 32; // the processor whose leaf 1 runs out of memory
    // The binds and yields in call order, each followed by a space: "bind 0x4 yield ".
    std::string log;
    utils::CpuidResult cpuid(std::uint32_t leaf, std::uint32_t subleaf) override {
        const std::uint32_t apic =
            its_running < apicIds.size() ? apicIds[its_running] : its_running;
        if (leaf == 1 && its_running == exhaustedOn)
            throw std::bad_alloc();
        if (leaf == 0) { // EBX "Genu", ECX "ntel", EDX "ineI", little-endian
            std::uint32_t words[3];
            std::memcpy(words, vendor.data(), sizeof words);
            return {maxLeaf, words[0], words[2], words[1]};
        }
        if (leaf == 1 && leaf <= maxLeaf) // the low bits carry unrelated fields
            return {0x000906EAu, apic << 24 | (logicalPerPackage & 0xFFu) << 16 | 0x0800u,
                    0x7FFAFBFFu, (htFlag ? 0x10000000u : 0u) | 0x0FEBFBFFu};
        if (leaf == 4 && subleaf == 0) // answered above the highest leaf too: a read there shows
            return {(coresPerPackage - 1) << 26 | 0x00004121u, 0x01C0003Fu, 0x3Fu, 0};
        return {0, 0, 0, 0};
    }
    // From the second read on (after the base detection), the process mask becomes laterMask.
    std::uint32_t laterMask = 0; // 0: unchanged
    bool affinityMasks(std::uint32_t& process, std::uint32_t& system) override {
        processMask = ++its_reads > 1 && laterMask != 0 ? laterMask : processMask;
        process = masksReadable ? processMask : process;
        system = masksReadable ? systemMask : system;
        return masksReadable;
    }
    // Windows refuses a thread mask that is empty or not within the process mask.
    bool bindThread(std::uint32_t mask) override {
        const bool refused = bindsRefused || mask == 0 || (mask & ~processMask) != 0;
        char entry[32]; // plain digits under any global locale
        std::snprintf(entry, sizeof entry, "bind 0x%x%s ", unsigned{mask},
                      refused ? " refused" : "");
        log += entry;
        its_bound = refused ? its_bound : mask;
        return !refused;
    }
    void yieldThread() override {
        log += "yield ";
        if (((boundMask() >> its_running) & 1u) == 0)
            its_running = lowestBit(boundMask());
    }
    // The mask the thread is bound to.
    std::uint32_t boundMask() const { return its_bound != 0 ? its_bound : processMask; }

private:
    static unsigned lowestBit(std::uint32_t mask) { return mask != 0 ? __builtin_ctz(mask) : 0; }
    std::uint32_t its_bound = 0; // 0: not bound yet
    int its_reads = 0;
    unsigned its_running;
};
// Installs a platform for the lifetime of the object, then restores the native one.
struct ScopedCpuPlatform {
    explicit ScopedCpuPlatform(utils::ICpuPlatform& platform) { utils::setCpuPlatform(&platform); }
    ~ScopedCpuPlatform() { utils::setCpuPlatform(nullptr); }
};
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
    const struct {
        const char* what;
        std::string detected, expected;
    } rows[] = {
        {"every position up to the highest system bit is a package, a gap too",
         detected<utils::UnknownCpu>(gap), unknown + "\n=0|" + unknown + "|Unknown|4 4 4 1|00|10"},
        {"the other vendor class adds nothing", detected<utils::AmdCpu>(amd),
         "=1||Unknown|2 2 2 1|00|10"},
        {"a narrower process mask", detected<utils::UnknownCpu>(narrowed),
         restricted + "\n" + unknown + "\n=0|" + restricted + unknown + "|Unknown|1 1 1 1|00|00"},
        {"masks that cannot be read", detected<utils::UnknownCpu>(closed),
         unreadable + "\n" + unknown + "\n=0|" + unreadable + unknown + "|Unknown|1 1 1 1|00|00"},
        {"no processor in view", detected<utils::AmdCpu>(empty),
         none + "\n=0|" + none + "|Unknown|1 1 1 1|00|00"},
        // Capable is set before any detection; nothing of the topology runs.
        {"Intel, a narrower process mask", detected<utils::IntelCpu>(intelNarrowed),
         restricted + "\n=0|" + restricted + "|Unknown|1 1 1 1|10|00"},
        {"Intel, every bind refused", detected<utils::IntelCpu>(intelRefusing),
         unbound + "\n=0|" + unbound + "|GenuineIntel|1 1 1 1|10|00"},
        {"Intel, the mask narrowed after the count", detected<utils::IntelCpu>(intelNarrowedLater),
         restrictedDuringWalk + "\n=0|" + restrictedDuringWalk + "|GenuineIntel|1 1 4 1|11|00"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.expected, row.detected) << row.what;
    // The walk binds to each position in turn, a refused one too, then back to the process.
    EXPECT_EQ("bind 0x1 yield bind 0x2 yield bind 0x4 refused bind 0x8 yield bind 0xb yield ",
              gap.log);
    EXPECT_EQ("", narrowed.log + closed.log + intelNarrowed.log);
}
// The report traced by the detection that gave `cpu` on `machine`, from its headline,
// whether both validations fail, and its relationships, "mask apic package core smt" per
// line, lines separated by ","; the capability lines follow the per-package maxima.
std::string report(const FakeCpuPlatform& machine, const utils::ICpu& cpu,
                   const std::string& headline, bool overfull, const char* relationships) {
    const std::uint32_t perPackage = machine.htFlag ? machine.coresPerPackage : 1;
    const std::uint32_t logical = machine.htFlag ? machine.logicalPerPackage : 1;
    std::ostringstream text;
    text << "Hyper-Threading Technology: " << headline
         << "\nMulti-processor: " << (cpu.isMultiProcessor() ? "yes\n" : "No\n");
    if (overfull)
        text << validation << "\n" << validation << "\n";
    text << "\n\nHardware capability and its availability to applications: \n"
         << "\n  System wide availability: " << cpu.physicalProcessorCount()
         << " physical processors, " << cpu.coreCount() << " cores, " << cpu.logicalProcessorCount()
         << " logical processors\n  Multi-core capabililty : " << perPackage
         << " cores per package \n  HT capability: " << logical / perPackage
         << " logical processors per core \n\n  "
         << (perPackage * cpu.physicalProcessorCount() > cpu.coreCount() ? "Not all" : "All")
         << " cores in the system are enabled for this application.\n"
         << "\n\nRelationships between OS affinity mask, Initial APIC ID, and 3-level sub-IDs: \n";
    std::istringstream in(relationships);
    for (unsigned long m, a, p, c, s; in >> m >> a >> p >> c >> s; in.ignore(1))
        text << "  AffinityMask = " << m << " Initial APIC = " << a << " Physical ID =  " << p
             << " Core ID = " << c << " SMT ID = " << s << "\n";
    return text.str();
}
TEST(IntelTopology, EveryOutcomeHasItsCountsHeadlineAndReport) {
    struct Machine {
        const char* what;
        FakeCpuPlatform platform;
        std::string headline; // after "Hyper-Threading Technology: "
        bool overfull;        // more cores and threads than a package holds
        const char* answers;  // after "valid|errors|GenuineIntel|"
        const char* lines;    // "mask apic package core smt" per line
    };
    FakeCpuPlatform noFlag(0x3, {0, 1}, 8, 4);
    noFlag.htFlag = false;
    const std::string single = "  \nMulti-core: No ", multi = "  \nMulti-core: Yes ";
    std::vector<Machine> machines = {
        {"the worked example", FakeCpuPlatform(0xF, {0, 1, 2, 3}, 4, 2), "Enabled" + multi, false,
         "1 2 4 2|11|01", "1 0 0 0 0,2 1 0 0 1,4 2 0 2 0,8 3 0 2 1"},
        {"hyper-threading switched off", FakeCpuPlatform(0x1, {0}, 2, 1), "Disabled" + single,
         false, "1 1 1 1|10|00", "1 0 0 0 0"},
        {"no flag, two packages", noFlag, "Not capable" + single, false, "2 2 2 1|00|10",
         "1 0 0 0 0,2 1 1 0 0"},
        {"two cores without their siblings", FakeCpuPlatform(0x3, {0, 2}, 4, 2), "Disabled" + multi,
         false, "1 2 2 2|10|01", "1 0 0 0 0,2 2 0 2 0"},
        {"fewer cores than the package holds", FakeCpuPlatform(0x3, {0, 1}, 4, 2),
         "Enabled" + single, false, "1 1 2 1|11|00", "1 0 0 0 0,2 1 0 0 1"},
        {"more cores and threads than it holds", FakeCpuPlatform(0xF, {0, 1, 2, 3}, 3, 3),
         "not capable" + multi, true, "1 4 4 4|10|01", "1 0 0 0 0,2 1 0 1 0,4 2 0 2 0,8 3 0 3 0"},
        {"a refused position records nothing", FakeCpuPlatform(0x1B, {0, 1, 0, 8, 9}, 2, 1),
         "Enabled" + single, false, "2 2 4 1|11|10", "1 0 0 0 0,2 1 0 0 1,8 8 8 0 0,16 9 8 0 1"},
        {"bit 31 ends the walk", FakeCpuPlatform(0x80000001, {}, 1, 1), "Not capable" + single,
         false, "2 2 2 1|10|10", "1 0 0 0 0,2147483648 31 31 0 0"},
    };
    for (Machine& m : machines) {
        std::unique_ptr<utils::IntelCpu> cpu;
        const std::string traced = detect(m.platform, cpu);
        const std::string errors = m.overfull ? "0|" + validation + validation : "1|";
        EXPECT_EQ(errors + "|GenuineIntel|" + m.answers, answers(*cpu)) << m.what;
        EXPECT_EQ(report(m.platform, *cpu, m.headline, m.overfull, m.lines), traced) << m.what;
        EXPECT_EQ(m.platform.processMask, m.platform.boundMask()) << m.what;
    }
}
TEST(CpuFactory, AnExceptionDuringDetectionLeavesNoProcessorAndAnUnpinnedThread) {
    FakeCpuPlatform machine(0xF, {0, 1, 2, 3}, 4, 2);
    machine.exhaustedOn = 1;
    ScopedCpuPlatform scoped(machine);
    EXPECT_THROW(utils::CpuFactory::instance(), std::bad_alloc);
    EXPECT_EQ(0xFu, machine.boundMask()) << "back on the process mask, not on processor 1";
    const std::string afterFailure = machine.log;
    EXPECT_EQ(nullptr, utils::CpuFactory::instance()->cpu());
    EXPECT_EQ(afterFailure, machine.log) << "no later call detects again";
}
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
    EXPECT_EQ(walk + walk, machine.log) << "one detection: the count, then the topology";
    EXPECT_NE(nullptr, made[0]);
    EXPECT_EQ(made[0], utils::CpuFactory::instance()->create());
    for (utils::ICpu* cpu : made)
        EXPECT_EQ(made[0], cpu);
}
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
    // Detection, here on the thread whose mask stands for the process on Linux, ends with the
    // thread on every processor of the process, not only on the last one it was bound to.
    std::uint32_t afterwards = 0;
    ASSERT_TRUE(native.affinityMasks(afterwards, systemMask));
    EXPECT_EQ(processMask, afterwards);
    EXPECT_EQ(vttest::processorVendor() == "GenuineIntel", utils::isGenuineIntel());
    // Every processor that names a vendor (x86) has leaf 1, the features.
    EXPECT_EQ(!vttest::processorVendor().empty(), utils::maxStandardLeaf() >= 1);
    EXPECT_EQ(utils::isGenuineIntel() ? "GenuineIntel" : "Unknown", cpu->vendor());
    if (processors > 0 && processors <= 32) {
        EXPECT_EQ(processors, cpu->logicalProcessorCount());
    }
}
// The system mask from the kernel's list of online processors; without a list (it could not be
// read) or with one that is no list, the first processors, as many as are online.
TEST(OnlineProcessors, TheListOrElseTheCountGivesTheSystemMask) {
    const struct {
        const char* list;
        long online;
        std::uint32_t mask;
    } rows[] = {{"0-3,5,8-9", 4, 0x32f}, {"31,0", 4, 0x80000001}, {"30-40", 4, 0xc0000000},
                {"1,3,", 4, 0xa},        {"32-63", 4, 0},         {"", 3, 0x7},
                {"x", 2, 0x3},           {",2", 2, 0x3},          {"", 0, 0x1},
                {"", 32, 0xffffffff}};
    for (const auto& row : rows)
        EXPECT_EQ(row.mask, vtsupport::detail::onlineProcessorMask(row.list, row.online))
            << "[" << row.list << "] " << row.online;
}
} // namespace
