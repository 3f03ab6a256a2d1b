// Processor topology: vendor and counts of packages, cores and logical processors
// that the process may use. CpuFactory makes one processor object per process on
// first request, picking the class from the CPUID vendor test; every detection
// runs inside the constructors, and afterwards the queries only read fields.
// Detection never throws: a failure is appended to the object's error text,
// written to the trace channel, and makes isValid() false.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vtsupport/Export.h"

namespace utils {

// What callers hold. Objects come from CpuFactory and are never deleted by callers.
class VTSUPPORT_API ICpu {
public:
    virtual bool isValid() const = 0;
    virtual std::string errorMessage() const = 0;
    virtual std::string vendor() const = 0;
    virtual std::uint32_t physicalProcessorCount() const = 0;
    virtual std::uint32_t coreCount() const = 0;
    virtual std::uint32_t logicalProcessorCount() const = 0;
    virtual std::uint32_t coresPerPhysicalProcessor() const = 0;
    virtual bool isHyperThreadingCapable() const = 0;
    virtual bool isHyperThreadingEnabled() const = 0;
    virtual bool isMultiProcessor() const = 0;
    virtual bool isMultiCore() const = 0;

protected:
    ~ICpu() = default;
};

// The stored answers and the queries over them. Counts start at 1, so the
// divisions of the derived queries never divide by zero.
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

    virtual ~Cpu();
    virtual void detect() = 0;

    Cpu(const Cpu&) = delete;
    Cpu& operator=(const Cpu&) = delete;

protected:
    Cpu();
    // Records a failure: appends the message to the error text (no separator) and
    // traces it with a newline. Detection goes on unless the caller stops it.
    void fail(const char* message);
    // The affinity walk over the system mask; the number of bit positions visited,
    // or 1 (with a recorded failure) when the process may not use every processor.
    std::uint32_t countAffinityPositions();

    std::uint32_t packages = 1;
    std::uint32_t cores = 1;
    std::uint32_t logicalProcessors = 1;
    bool htCapable = false;
    std::string errorText;
    std::string vendorName;
};

// Counts every logical processor as a package of one core. The base of the
// vendor classes, whose own detection runs after this one.
class VTSUPPORT_API SingleCoreCpu : public Cpu {
public:
    SingleCoreCpu();
    ~SingleCoreCpu() override;
    void detect() override;
};

enum class TopologyOutcome {
    SingleCoreHtEnabled = 1,
    SingleCoreHtDisabled = 2,
    SingleCoreHtNotCapable = 4,
    MultiCoreHtNotCapable = 5,
    MultiCoreHtEnabled = 6,
    MultiCoreHtDisabled = 7,
    AffinityRestricted = 8,
};

// "GenuineIntel": binds the constructing thread to each logical processor in turn,
// splits its initial APIC ID into package, core and SMT sub-IDs, counts distinct
// packages and cores, and traces a topology report. The thread ends bound to the
// process affinity mask.
class VTSUPPORT_API IntelCpu : public SingleCoreCpu {
public:
    IntelCpu();
    ~IntelCpu() override;
    void detect() override;
    // Counts the topology into the three counts, appending one relationship line
    // per bound processor.
    TopologyOutcome enumerateTopology(std::uint32_t& logical, std::uint32_t& coreTotal,
                                      std::uint32_t& packageTotal);

protected:
    std::vector<std::string> relationships;

private:
    void traceReport();
};

// Multi-core detection for this vendor does not exist; as isAmd() answers no, the
// factory never makes one and its detection leaves the single-core answers.
class VTSUPPORT_API AmdCpu : public SingleCoreCpu {
public:
    AmdCpu();
    ~AmdCpu() override;
    void detect() override;
};

// Any other vendor: the single-core counts, recorded as a failure.
class VTSUPPORT_API UnknownCpu : public SingleCoreCpu {
public:
    UnknownCpu();
    ~UnknownCpu() override;
    void detect() override;
};

// Makes the process-wide processor object. Both the factory and the processor
// object are made by the first instance() call (unique even when first calls
// race) and live until the process ends.
class VTSUPPORT_API CpuFactory {
public:
    static CpuFactory* instance();
    // The processor object; null only when making it failed.
    ICpu* cpu();
    // The processor object, made now from the vendor test unless it exists.
    ICpu* create();

private:
    CpuFactory() = default;
};

} // namespace utils
