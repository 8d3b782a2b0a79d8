// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>

// The version of the display driver of the machine's first display controller; empty when the
// machine reports no display controller. Each platform has its own source file for it.
std::string queryDriverVersion();
