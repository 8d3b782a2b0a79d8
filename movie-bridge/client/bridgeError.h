#pragma once

#include <stdexcept>

namespace bridge::client {

// Every failure on the host side: the text says what failed, on what, and why.
class BridgeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws BridgeError with "<what>: <strerror(errno)>".
[[noreturn]] void throwSystemError(const std::string& what);

} // namespace bridge::client
