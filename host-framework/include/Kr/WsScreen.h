// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/GeSize.h>
#include <Kr/KrExport.h>

namespace Kr {

// The default screen of the display. Every answer is read when asked, so it follows mode
// changes; each is 0 when there is no display or the display does not tell.
class KR_EXPORT WsScreen {
public:
    static WsScreen& getInstance();

    virtual ~WsScreen();

    // Width and height in pixels.
    virtual GeSize<int> getResolution() const = 0;
    // Significant bits of a pixel (24 for 8-bit RGB).
    virtual int getBitDepth() const = 0;
    // Bits a pixel takes in memory at that depth (32 for depth 24).
    virtual int getBitsPerPixel() const = 0;
    // In hertz, to the hundredth (59.94).
    virtual double getRefreshRate() const = 0;
};

} // namespace Kr
