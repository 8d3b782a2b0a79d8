// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>
#include <Kr/OPtr.h>
#include <Kr/RC.h>
#include <Kr/WsDrawable.h>

namespace Kr {

// An OpenGL rendering context (GLX on X11), compatible with the drawable it was made for.
// Deleting a context that is current releases it from its thread first.
class KR_EXPORT SmContext {
public:
    // Null when the drawable is null, was not made by this framework, or the display cannot
    // give it a context.
    static OPtrRet<SmContext> create(const RCShdPtr<WsDrawable>& drawable);

    virtual ~SmContext();

    // Makes the context current on the calling thread, drawing into drawable. Raises an ExBase
    // naming the drawable when the display refuses.
    virtual void makeCurrent(const RCShdPtr<WsDrawable>& drawable) = 0;
    virtual bool isCurrent() const = 0;
};

} // namespace Kr
