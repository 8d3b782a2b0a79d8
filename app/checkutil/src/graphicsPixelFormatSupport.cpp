// SPDX-License-Identifier: Apache-2.0
#include "graphicsPixelFormatSupport.h"

const char* describeDepthBufferSupport(const Kr::WsPixelFormatRegistry& registry) {
    if (registry.get(Kr::WsPixelFormatRegistry::Rgba32DepthStencil)->isAvailable()) {
        return "Supported (including stencil support)";
    }
    if (registry.get(Kr::WsPixelFormatRegistry::Rgba32Depth)->isAvailable()) {
        return "Supported";
    }
    return "Unsupported";
}
