// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>
#include <Kr/Lk.h>
#include <Kr/RC.h>

#include <map>

namespace Kr {

// A kind of framebuffer a rendering context can draw into.
class KR_EXPORT WsPixelFormatBase : public RCBase<LkCounter<int>> {
public:
    ~WsPixelFormatBase() override;

    // True when the display offers a framebuffer configuration of this kind.
    virtual bool isAvailable() const = 0;
};

// Pixel formats by id. The framework's registry (getInstance) knows, from the display's GLX
// framebuffer configurations:
//   8  RGBA 8-8-8-8 (32 bits) with a depth buffer, drawable in a window;
//   9  the same with an 8-bit stencil buffer.
class KR_EXPORT WsPixelFormatRegistry {
public:
    enum : int { Rgba32Depth = 8, Rgba32DepthStencil = 9 };

    static const WsPixelFormatRegistry& getInstance();

    // Registers format under id, replacing an earlier one.
    void add(int id, const RCShdPtr<const WsPixelFormatBase>& format);
    // Null for an unknown id.
    RCShdPtr<const WsPixelFormatBase> get(int id) const;

private:
    std::map<int, RCShdPtr<const WsPixelFormatBase>> _formats;
};

} // namespace Kr
