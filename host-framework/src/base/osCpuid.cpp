// SPDX-License-Identifier: Apache-2.0
#include <Kr/OsCpuid.h>

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define KR_HAS_CPUID 1
#endif

namespace Kr {

namespace {

// The highest basic and extended leaves are asked once: under a hypervisor every CPUID
// leaves the guest, which costs microseconds.
class ProcessorCpuid : public OsCpuid {
public:
    ProcessorCpuid() {
#ifdef KR_HAS_CPUID
        _highestBasic = __get_cpuid_max(0, nullptr);
        _highestExtended = __get_cpuid_max(0x80000000u, nullptr);
#endif
    }

    bool query(std::uint32_t leaf, std::uint32_t subleaf, OsCpuidRegisters& out) const override {
        if (leaf > ((leaf & 0x80000000u) ? _highestExtended : _highestBasic) || _highestBasic == 0)
            return false;
#ifdef KR_HAS_CPUID
        __cpuid_count(leaf, subleaf, out.eax, out.ebx, out.ecx, out.edx);
        return true;
#else
        (void)subleaf;
        (void)out;
        return false;
#endif
    }

private:
    std::uint32_t _highestBasic = 0;
    std::uint32_t _highestExtended = 0;
};

} // namespace

OsCpuid::~OsCpuid() = default;

const OsCpuid& OsCpuid::processor() {
    static const ProcessorCpuid processor;
    return processor;
}

std::string OsCpuid::vendor() const {
    OsCpuidRegisters leaf0;
    if (!query(0, 0, leaf0))
        return std::string();
    char text[13] = {};
    std::memcpy(text, &leaf0.ebx, 4);
    std::memcpy(text + 4, &leaf0.edx, 4);
    std::memcpy(text + 8, &leaf0.ecx, 4);
    return text;
}

} // namespace Kr
