// SPDX-License-Identifier: Apache-2.0
#pragma once

// Small text files of the kernel (sysfs and procfs attributes) are read often at start-up;
// one open and one read each, without a stream and its locale.

#include <string>

namespace Kr {

// The first line of the file, without its line end and surrounding blanks; empty when the
// file cannot be read.
std::string readFirstLine(const std::string& path);

} // namespace Kr
