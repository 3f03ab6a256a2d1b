/// @file
/// Processor topology: vendor and counts of packages, cores and logical
/// processors that the process may use.
///
/// utils::CpuFactory makes one processor object per process on first request,
/// picking the class from the CPUID vendor test; every detection runs inside
/// the constructors, and afterwards the queries only read fields. Detection
/// never throws: a failure is appended to the object's error text, written to
/// the trace channel, and makes isValid() false.
/// @code
/// utils::ICpu* cpu = utils::CpuFactory::instance()->cpu();
/// if (cpu != nullptr && cpu->isValid())
///     threads = cpu->coresPerPhysicalProcessor();
/// @endcode
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vtsupport/Export.h"

namespace utils {

/// What callers hold: the detected processor, read through eleven queries.
///
/// Objects come from CpuFactory and are never deleted by callers (the
/// destructor is protected and not virtual). The slots of the virtual table
/// are in declaration order and part of the binary interface.
class VTSUPPORT_API ICpu {
public:
    /// True when detection recorded no failure.
    virtual bool isValid() const = 0;
    /// Every failure text recorded by detection, joined without separator;
    /// empty when valid.
    virtual std::string errorMessage() const = 0;
    /// "GenuineIntel", "AuthenticAMD" or "Unknown".
    virtual std::string vendor() const = 0;
    /// Number of physical processors (packages).
    virtual std::uint32_t physicalProcessorCount() const = 0;
    /// Number of cores over all packages.
    virtual std::uint32_t coreCount() const = 0;
    /// Number of logical processors over all packages.
    virtual std::uint32_t logicalProcessorCount() const = 0;
    /// Cores divided by packages (truncated).
    virtual std::uint32_t coresPerPhysicalProcessor() const = 0;
    /// The processor supports hyper-threading.
    virtual bool isHyperThreadingCapable() const = 0;
    /// Capable, and more than one logical processor per core.
    virtual bool isHyperThreadingEnabled() const = 0;
    /// More than one package.
    virtual bool isMultiProcessor() const = 0;
    /// More than one core per package.
    virtual bool isMultiCore() const = 0;

protected:
    /// Not for callers: the factory's object lives until the process ends.
    ~ICpu() = default;
};

/// The stored answers and the queries over them; the base of every processor
/// class. Counts start at 1, so the divisions of the derived queries never
/// divide by zero. Not copyable.
class VTSUPPORT_API Cpu : public ICpu {
public:
    bool isValid() const override;
    std::string errorMessage() const override;
    std::string vendor() const override;
    std::uint32_t physicalProcessorCount() const override;
    std::uint32_t coreCount() const override;
    std::uint32_t logicalProcessorCount() const override;
    std::uint32_t coresPerPhysicalProcessor() const override;
    bool isHyperThreadingCapable() const override;
    bool isHyperThreadingEnabled() const override;
    bool isMultiProcessor() const override;
    bool isMultiCore() const override;

    /// Destroys the object.
    virtual ~Cpu();
    /// Runs this class's detection; each constructor calls its own class's once.
    virtual void detect() = 0;

    Cpu(const Cpu&) = delete;
    Cpu& operator=(const Cpu&) = delete;

protected:
    /// All counts 1, not hyper-threading capable, no failure, no vendor.
    Cpu();
    /// Records a failure: appends `message` to the error text (no separator)
    /// and traces it with a newline. Detection goes on unless the caller stops it.
    void fail(const char* message);
    /// The affinity walk over the system mask: the number of bit positions
    /// visited, or 1 (with a recorded failure) when the process may not use
    /// every processor.
    std::uint32_t countAffinityPositions();

    /// Number of physical processors (packages).
    std::uint32_t packages = 1;
    /// Number of cores.
    std::uint32_t cores = 1;
    /// Number of logical processors.
    std::uint32_t logicalProcessors = 1;
    /// The processor supports hyper-threading.
    bool htCapable = false;
    /// Every failure text recorded so far, joined without separator.
    std::string errorText;
    /// The vendor name.
    std::string vendorName;
};

/// Counts every logical processor the affinity walk visits as a package of one
/// core. The base of the vendor classes, whose own detection runs after this one.
class VTSUPPORT_API SingleCoreCpu : public Cpu {
public:
    /// Runs the single-core detection.
    SingleCoreCpu();
    ~SingleCoreCpu() override;
    void detect() override;
};

/// The outcome of IntelCpu::enumerateTopology, by hyper-threading and cores.
enum class TopologyOutcome {
    SingleCoreHtEnabled = 1,    ///< One core per package, hyper-threading on.
    SingleCoreHtDisabled = 2,   ///< One core per package, hyper-threading capable but off.
    SingleCoreHtNotCapable = 4, ///< One core per package, no hyper-threading.
    MultiCoreHtNotCapable = 5,  ///< Several cores per package, no hyper-threading.
    MultiCoreHtEnabled = 6,     ///< Several cores per package, hyper-threading on.
    MultiCoreHtDisabled = 7,    ///< Several cores per package, hyper-threading capable but off.
    AffinityRestricted = 8,     ///< The process mask differs from the system mask: nothing counted.
};

/// A "GenuineIntel" processor.
///
/// Detection binds the constructing thread to each logical processor in turn,
/// splits its initial APIC ID into package, core and SMT sub-IDs, counts
/// distinct packages and cores, and traces a topology report. The thread ends
/// bound to the whole process affinity mask (processors above 31 included), also
/// when detection is left by an exception.
class VTSUPPORT_API IntelCpu : public SingleCoreCpu {
public:
    /// Runs the single-core detection, then this class's.
    IntelCpu();
    ~IntelCpu() override;
    void detect() override;
    /// Counts the topology into the three counts (logical processors, cores,
    /// packages), appending one relationship line per bound processor.
    TopologyOutcome enumerateTopology(std::uint32_t& logical, std::uint32_t& coreTotal,
                                      std::uint32_t& packageTotal);

protected:
    /// One line per bound processor: its affinity mask, initial APIC ID and sub-IDs.
    std::vector<std::string> relationships;

private:
    void traceReport();
};

/// An "AuthenticAMD" processor. Multi-core detection for this vendor does not
/// exist; as isAmd() answers no, the factory never makes one, and its detection
/// leaves the single-core answers and records
/// "Multi-core detection is not implemented for AuthenticAMD. ".
class VTSUPPORT_API AmdCpu : public SingleCoreCpu {
public:
    /// Runs the single-core detection, then this class's.
    AmdCpu();
    ~AmdCpu() override;
    void detect() override;
};

/// Any other vendor: the single-core counts, recorded as the failure
/// "Unknown Cpu detected".
class VTSUPPORT_API UnknownCpu : public SingleCoreCpu {
public:
    /// Runs the single-core detection, then this class's.
    UnknownCpu();
    ~UnknownCpu() override;
    void detect() override;
};

/// Makes the process-wide processor object.
///
/// Both the factory and the processor object are made by the first instance()
/// call (unique even when first calls race, detection on the thread that
/// won) and live until the process ends.
class VTSUPPORT_API CpuFactory {
public:
    /// The factory, made with the processor object on the first call.
    static CpuFactory* instance();
    /// The processor object; null only when making it failed.
    ICpu* cpu();
    /// The processor object, made now from the vendor test unless it exists:
    /// IntelCpu for "GenuineIntel", AmdCpu when isAmd() answers yes, else UnknownCpu.
    ICpu* create();

private:
    CpuFactory() = default;
};

} // namespace utils
