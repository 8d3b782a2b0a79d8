// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/LiString.h>
#include <Kr/WsDrawable.h>

namespace Kr {

// A top-level window made by WsWinMgr. It is created unmapped, as a drawable for a rendering
// context. Releasing the last reference destroys the window.
class KR_EXPORT WsWindow : public WsDrawable {
public:
    ~WsWindow() override;

    virtual const LiString& getName() const = 0;
    virtual const LiString& getTitle() const = 0;
};

} // namespace Kr
