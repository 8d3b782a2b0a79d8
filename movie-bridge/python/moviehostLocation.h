// SPDX-License-Identifier: Apache-2.0
#pragma once
// Where the module finds the moviehost program it starts for each job.

#include "bridgeJob.h"

#include <optional>
#include <string>

namespace bridge::python {

// The given program, else the moviehost in the module's own folder (where pip installs it),
// else the one in the prefix's bin/ (the same relative path from the module in the build tree
// and in an installed prefix), else the first moviehost on PATH.
client::BridgeJobOptions jobOptions(const std::optional<std::string>& moviehost);

} // namespace bridge::python
