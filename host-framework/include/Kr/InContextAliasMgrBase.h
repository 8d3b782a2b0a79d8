// SPDX-License-Identifier: Apache-2.0
#pragma once

// The command line as the framework leaves it. InInitGuard takes the framework's own
// options; every other word stays, in order, program name first:
//     --kr-plugin-path=DIR  (or --kr-plugin-path DIR) search DIR for modules before
//                           anywhere else; may be repeated
//     --kr-build-info       list the registered build information on standard output
//                           when the framework starts
// A word starting with "--kr-" that is none of these is refused with an ExBase.

#include <Kr/KrExport.h>

#include <string>
#include <vector>

namespace Kr {

class KR_EXPORT InContextAliasMgrBase {
public:
    static std::vector<std::string> getUnboundArgs();
    static std::vector<std::string> getPluginDirectories();

    // Splits argv into framework options and unbound words (used by InInitGuard).
    // Returns whether the build information was asked for.
    static bool takeFrameworkOptions(int& argc, char**& argv);
};

} // namespace Kr
