// SPDX-License-Identifier: Apache-2.0
// Asks WMI for the display driver's version exactly as the Windows graphics check does,
// and prints what it answers; run under Wine by the test suite.
#include "graphicsDriverVersion.h"

#include <Kr/Ex.h>

#include <cstdio>

int main() {
    try {
        std::printf("driver version: '%s'\n", queryDriverVersion().c_str());
        return 0;
    } catch (const Kr::ExBase& failure) {
        std::printf("driver version query failed: %s\n", failure.getMessage().c_str());
        return 1;
    }
}
