// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "xDisplayConnection.h"

#include <GL/glx.h>

#include <memory>

namespace Kr::gfx {

// What a rendering context needs of a drawable made by this library: its display connection and
// the GLX configuration it was made with (null when GLX offered none).
class XNativeDrawable {
public:
    virtual ~XNativeDrawable() = default;
    virtual const std::shared_ptr<XDisplayConnection>& getConnection() const = 0;
    virtual GLXFBConfig getFramebufferConfig() const = 0;
};

} // namespace Kr::gfx
