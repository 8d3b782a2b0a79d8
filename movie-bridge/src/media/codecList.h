// SPDX-License-Identifier: Apache-2.0
#pragma once
// The codec type names of this build: names of FFmpeg video encoders that complete a MOV
// movie on this machine, each tried on one small frame the way the writer uses it.

#include <optional>
#include <string>
#include <vector>

namespace bridge {

// In FFmpeg's registration order. nullopt when the MOV muxer is missing altogether.
// Hardware encoders are offered only when a trial open with a software pixel format
// succeeds here, so that a machine without the device does not list them.
std::optional<std::vector<std::string>> listMovieEncoderNames();

} // namespace bridge
