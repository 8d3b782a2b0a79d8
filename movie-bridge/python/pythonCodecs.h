// SPDX-License-Identifier: Apache-2.0
#pragma once
// The codec type names moviehost writes with, for codecs() and for checking a writer's codec
// before its movie is made.

#include "bridgeJob.h"

#include <string>
#include <vector>

namespace bridge::python {

// One moviehost codec query, run with the GIL released.
std::vector<std::string> queryCodecNames(const client::BridgeJobOptions& options);

// Raises ValueError naming the close matches when moviehost lists no codec of that name.
// moviehost itself would write such a movie with mjpeg, which a Python caller never means.
void requireListedCodec(const std::string& codec, const client::BridgeJobOptions& options);

} // namespace bridge::python
