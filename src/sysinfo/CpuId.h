#pragma once

#include <cstdint>
#include <memory>

// What one CPUID call answers.
struct CpuRegisters {
    std::uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

// The CPUID instruction. Tests replay the registers of known processors in
// its place.
class CpuidSource {
public:
    virtual ~CpuidSource() = default;
    virtual CpuRegisters cpuid(std::uint32_t function) = 0;
};

// The processor's own CPUID; null where the processor has none (ARM).
std::unique_ptr<CpuidSource> processorCpuid();
