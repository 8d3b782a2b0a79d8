// SPDX-License-Identifier: Apache-2.0
#pragma once

// The processor's identification instruction, CPUID, behind one interface, so that the
// decoders of its answers (OsCpuInfo, OsCacheDescriptors) can be given the recorded
// answers of another processor.

#include <Kr/KrExport.h>

#include <cstdint>
#include <string>

namespace Kr {

struct OsCpuidRegisters {
    std::uint32_t eax = 0;
    std::uint32_t ebx = 0;
    std::uint32_t ecx = 0;
    std::uint32_t edx = 0;
};

class KR_EXPORT OsCpuid {
public:
    // The processor this process runs on; never answers on a processor without CPUID.
    static const OsCpuid& processor();

    virtual ~OsCpuid();

    // The answer for leaf and subleaf, or false when the processor does not answer that
    // leaf (beyond the highest basic or extended leaf that leaf 0 or 0x80000000 names).
    virtual bool query(std::uint32_t leaf, std::uint32_t subleaf, OsCpuidRegisters& out) const = 0;

    // Leaf 0's twelve-character vendor text ("GenuineIntel", "AuthenticAMD"), else empty.
    std::string vendor() const;
};

} // namespace Kr
