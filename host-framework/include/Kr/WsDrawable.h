// SPDX-License-Identifier: Apache-2.0
#pragma once

// Something OpenGL can draw into: a window (WsWindow) or an off-screen buffer.

#include <Kr/GeSize.h>
#include <Kr/KrExport.h>
#include <Kr/Lk.h>
#include <Kr/RC.h>

namespace Kr {

class KR_EXPORT WsDrawable : public RCBase<LkCounter<int>> {
public:
    ~WsDrawable() override;

    // The platform's handle of the drawable (the X drawable id on X11).
    virtual unsigned long getNativeHandle() const = 0;
    virtual GeSize<int> getSize() const = 0;
};

} // namespace Kr
