// SPDX-License-Identifier: Apache-2.0
#pragma once
// Mode w with the gamma text as a parameter, so that the job's order, codes and texts can
// be checked without touching the environment.

#include "channel.h"
#include "media/mediaEngine.h"
#include "sharedView.h"

#include <cstdint>
#include <string>

namespace bridge {

// The whole job of mode w, from the first signal to the movie resource. gammaText is the
// value of ZEPH_QUICKTIME_ENCODING_GAMMA, null when it is not set.
void serveWriteJob(std::int32_t& exitCode, const std::string& jobFile, Channel& channel, SharedView& sharedView,
                   MediaEngine& engine, const char* gammaText);

} // namespace bridge
