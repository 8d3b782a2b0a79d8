// SPDX-License-Identifier: Apache-2.0
#pragma once
// The one failure convention of moviehost: store the negative exit code, then raise a
// standard exception whose text is the message. Only the entry point catches it.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace bridge {

class BridgeFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void raiseFailure(std::int32_t& exitCode, std::int32_t code, const std::string& message);

// Engine result codes are appended to messages in signed decimal ("... failed: -2093").
std::string withResult(const std::string& message, long long result);

} // namespace bridge
