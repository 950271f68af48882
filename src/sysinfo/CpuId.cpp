#include "sysinfo/CpuId.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>

namespace {

class X86Cpuid : public CpuidSource {
public:
    CpuRegisters cpuid(std::uint32_t function) override
    {
        CpuRegisters r;
        // Sub-leaf 0 for the functions that have sub-leaves; the others ignore ECX.
        __cpuid_count(function, 0, r.eax, r.ebx, r.ecx, r.edx);
        return r;
    }
};

} // namespace

std::unique_ptr<CpuidSource> processorCpuid() { return std::make_unique<X86Cpuid>(); }
#else
std::unique_ptr<CpuidSource> processorCpuid() { return nullptr; }
#endif
