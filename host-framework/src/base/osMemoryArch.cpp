#include <Kr/OsCpuInfo.h>
#include <Kr/OsMemoryArch.h>

#include <atomic>
#include <cctype>
#include <fstream>
#include <string>
#include <unistd.h>

namespace Kr {

namespace {

std::string readLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// sysfs writes sizes as "48K", "1024K", "32M"; plain numbers are bytes.
std::uint64_t parseSize(const std::string& text) {
    std::size_t used = 0;
    std::uint64_t value = 0;
    try {
        value = std::stoull(text, &used);
    } catch (const std::exception&) {
        return 0;
    }
    char unit = used < text.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(text[used]))) : '\0';
    switch (unit) {
    case 'K':
        return value << 10;
    case 'M':
        return value << 20;
    case 'G':
        return value << 30;
    default:
        return value;
    }
}

std::atomic<const OsMemoryArch*> testInstance{nullptr};

} // namespace

OsMemoryArch::OsMemoryArch() {
    long pages = ::sysconf(_SC_PHYS_PAGES);
    long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageSize > 0)
        _mainMemory = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);

    const std::string cacheDirectory = "/sys/devices/system/cpu/cpu0/cache/index";
    for (int index = 0; index < 16; ++index) {
        std::string directory = cacheDirectory + std::to_string(index) + "/";
        std::string level = readLine(directory + "level");
        if (level.empty())
            break;
        std::string type = readLine(directory + "type");
        Cache cache;
        cache.size = parseSize(readLine(directory + "size"));
        cache.ways = parseSize(readLine(directory + "ways_of_associativity"));
        cache.lineSize = parseSize(readLine(directory + "coherency_line_size"));
        if (level == "1" && type == "Data")
            _l1Data = cache;
        else if (level == "1" && type == "Instruction")
            _l1Instruction = cache;
        else if (level == "2" && type != "Instruction")
            _l2 = cache;
        else if (level == "3" && type != "Instruction")
            _l3 = cache;
    }
}

OsMemoryArch::~OsMemoryArch() = default;

const OsMemoryArch& OsMemoryArch::getInstance() {
    if (const OsMemoryArch* instance = testInstance.load())
        return *instance;
    static const OsMemoryArch* machine = new OsMemoryArch;
    return *machine;
}

void OsMemoryArch::setTestInstance(const OsMemoryArch* instance) {
    testInstance.store(instance);
}

std::uint64_t OsMemoryArch::getMainMemorySize() const {
    return _mainMemory;
}
std::uint64_t OsMemoryArch::getL1InstructionCacheSize() const {
    return _l1Instruction.size;
}
std::uint64_t OsMemoryArch::getL3CacheSize() const {
    return _l3.size;
}
std::uint64_t OsMemoryArch::getL1DataCacheSize() const {
    return _l1Data.size;
}
std::uint64_t OsMemoryArch::getL2CacheSize() const {
    return _l2.size;
}
std::uint64_t OsMemoryArch::getL1DataCacheWaySize() const {
    return _l1Data.waySize();
}
std::uint64_t OsMemoryArch::getL2CacheWaySize() const {
    return _l2.waySize();
}
std::uint64_t OsMemoryArch::getL1DataCacheLineSize() const {
    return _l1Data.lineSize;
}
std::uint64_t OsMemoryArch::getL2CacheLineSize() const {
    return _l2.lineSize;
}

bool OsMemoryArch::isDetected() const {
    return _mainMemory > 0 && _l1Data.size > 0 && _l2.size > 0;
}

bool OsMemoryArch::isKnownProcessor() const {
    OsCpuInfo::Type type = OsCpuInfo::UnknownType;
    OsCpuInfo::getDetailedType(&type, nullptr, nullptr, nullptr);
    bool supportedVendor = type == OsCpuInfo::IntelType || type == OsCpuInfo::AmdType;
    return supportedVendor && OsCpuInfo::hasSSE2() && OsCpuInfo::hasSSE3() && OsCpuInfo::hasCmpXchg16B() &&
           isDetected();
}

} // namespace Kr
