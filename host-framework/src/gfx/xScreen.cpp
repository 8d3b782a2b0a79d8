// SPDX-License-Identifier: Apache-2.0
#include "Kr/WsScreen.h"

#include "xDisplayConnection.h"
#include "xRefreshRate.h"

namespace Kr {

WsScreen::~WsScreen() = default;

namespace {

class XScreen : public WsScreen {
public:
    GeSize<int> getResolution() const override {
        const auto connection = gfx::XDisplayConnection::get();
        if (!connection) {
            return {};
        }
        const int screen = connection->defaultScreen();
        return {DisplayWidth(connection->display(), screen), DisplayHeight(connection->display(), screen)};
    }

    int getBitDepth() const override {
        const auto connection = gfx::XDisplayConnection::get();
        return connection ? DefaultDepth(connection->display(), connection->defaultScreen()) : 0;
    }

    int getBitsPerPixel() const override {
        const auto connection = gfx::XDisplayConnection::get();
        if (!connection) {
            return 0;
        }
        const int depth = DefaultDepth(connection->display(), connection->defaultScreen());
        int count = 0;
        XPixmapFormatValues* formats = XListPixmapFormats(connection->display(), &count);
        int bitsPerPixel = 0;
        for (int i = 0; i < count; ++i) {
            if (formats[i].depth == depth) {
                bitsPerPixel = formats[i].bits_per_pixel;
                break;
            }
        }
        if (formats) {
            XFree(formats);
        }
        return bitsPerPixel;
    }

    double getRefreshRate() const override {
        const auto connection = gfx::XDisplayConnection::get();
        return connection ? gfx::screenRefreshRate(connection->display(), connection->defaultScreen()) : 0;
    }
};

} // namespace

WsScreen& WsScreen::getInstance() {
    static XScreen instance;
    return instance;
}

} // namespace Kr
