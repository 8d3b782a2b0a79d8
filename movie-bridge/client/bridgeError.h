// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <optional>
#include <stdexcept>
#include <string>

namespace bridge::client {

// Every failure on the host side: the text says what failed, on what, and why. When moviehost
// itself ended the job, the error also carries its exit code and its own failure text, so that
// callers can tell the failures apart without reading the message.
class BridgeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    BridgeError(const std::string& what, int exitCode, std::string moviehostText)
        : std::runtime_error(what), _exitCode(exitCode), _moviehostText(std::move(moviehostText)) {}

    const std::optional<int>& exitCode() const { return _exitCode; }
    const std::string& moviehostText() const { return _moviehostText; }

private:
    std::optional<int> _exitCode;
    std::string _moviehostText;
};

// moviehost's failure text out of what it wrote to standard error ("exception: '...'", after
// any reason lines), without trailing line breaks; the whole output when it holds no such text.
std::string moviehostFailureText(const std::string& standardError);

// Throws BridgeError with "<what>: <strerror(errno)>".
[[noreturn]] void throwSystemError(const std::string& what);

} // namespace bridge::client
