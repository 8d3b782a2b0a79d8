// SPDX-License-Identifier: Apache-2.0
#pragma once
// The entry point of moviehost: argument check, engine start-up, channel, dispatch on the
// mode, the single failure path and the shut-down sequence.

#include "media/mediaEngine.h"
#include "modes.h"
#include "platform/channelPlatform.h"

#include <cstdint>
#include <cstdio>

namespace bridge {

struct ModeProcedures {
    ModeProcedure read = runReadMode;
    ModeProcedure write = runWriteMode;
    ModeProcedure query = runQueryMode;
};

// How long a failed bridge lingers before it shuts down.
constexpr unsigned failureLingerMilliseconds = 2000;

// argc and argv as main receives them; failure texts go to errorOut. Returns the exit code.
std::int32_t runMoviehost(int argc, const char* const* argv, MediaEngine& engine, ChannelPlatform& platform,
                          std::FILE* errorOut, const ModeProcedures& modes = ModeProcedures{});

} // namespace bridge
