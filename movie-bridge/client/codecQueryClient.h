// SPDX-License-Identifier: Apache-2.0
#pragma once
// Mode q from the host: the codec type names moviehost offers.

#include "bridgeJob.h"

#include <string>
#include <vector>

namespace bridge::client {

// Splits the codec list text at each '@'; every name ends with one, the last too.
// Throws BridgeError on text that does not end with the separator.
std::vector<std::string> parseCodecListText(const std::string& text);

// Runs one mode q job. jobFile receives moviehost's failure text, if any.
std::vector<std::string> queryCodecs(const std::string& jobFile, const BridgeJobOptions& options = {});

} // namespace bridge::client
