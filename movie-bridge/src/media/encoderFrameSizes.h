// SPDX-License-Identifier: Apache-2.0
#pragma once
// Encoders that take only certain frame sizes: which they take, so that a setup with any
// other size is refused at once with a reason, and the size a trial encode uses.

#include <string>

namespace bridge::media {

// Why encoderName cannot encode frames of width × height, naming the sizes it takes;
// empty when it can (as far as its sizes go) or when it takes any size.
std::string frameSizeRefusal(const std::string& encoderName, int width, int height);

struct FrameSize {
    int width;
    int height;
};

// The smallest size encoderName takes, or fallback when it takes any.
FrameSize smallestFrameSize(const std::string& encoderName, FrameSize fallback);

} // namespace bridge::media
