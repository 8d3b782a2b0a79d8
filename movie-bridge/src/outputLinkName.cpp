// SPDX-License-Identifier: Apache-2.0
#include "outputLinkName.h"

#include <cstdint>
#include <cstdio>

namespace bridge {

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string outputLinkName(const std::string& resolvedOutputPath) {
    // FNV-1a: fixed by its definition, unlike std::hash, so both processes agree.
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : resolvedOutputPath) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    char name[24];
    std::snprintf(name, sizeof name, "/.mh%016llx", static_cast<unsigned long long>(hash));
    std::string link = directoryOf(resolvedOutputPath);
    if (link == "/") {
        link.clear();
    }
    return link.append(name);
}

} // namespace bridge
