// SPDX-License-Identifier: Apache-2.0
#include "bridgeFailure.h"

namespace bridge {

void raiseFailure(std::int32_t& exitCode, std::int32_t code, const std::string& message) {
    exitCode = code;
    throw BridgeFailure(message);
}

std::string withResult(const std::string& message, long long result) {
    return message + std::to_string(result);
}

} // namespace bridge
