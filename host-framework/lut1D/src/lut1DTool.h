// SPDX-License-Identifier: Apache-2.0
#pragma once

// The LUT 1D tool: an image node mapping its input through a 1D LUT read from a file.

namespace Lut1DTool {

// Hands the LUT 1D tool description to the framework, which owns it from then on.
void registerTool();

} // namespace Lut1DTool
