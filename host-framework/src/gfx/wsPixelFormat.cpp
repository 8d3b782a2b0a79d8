// SPDX-License-Identifier: Apache-2.0
#include "Kr/WsPixelFormat.h"

#include "glxFramebufferConfigs.h"
#include "xDisplayConnection.h"

#include <vector>

namespace Kr {

WsPixelFormatBase::~WsPixelFormatBase() = default;

namespace {

// A format available when the default screen has a GLX framebuffer configuration with these
// attributes. Asked anew each time, as the display may change between calls.
class GlxPixelFormat : public WsPixelFormatBase {
public:
    explicit GlxPixelFormat(std::vector<int> attributes) : _attributes(std::move(attributes)) {}

    bool isAvailable() const override {
        const auto connection = gfx::XDisplayConnection::get();
        return connection &&
               gfx::chooseFramebufferConfig(connection->display(), connection->defaultScreen(), _attributes);
    }

private:
    std::vector<int> _attributes;
};

WsPixelFormatRegistry makeGlxRegistry() {
    WsPixelFormatRegistry registry;
    registry.add(WsPixelFormatRegistry::Rgba32Depth,
                 RCShdPtr<const WsPixelFormatBase>(new GlxPixelFormat(gfx::rgba32DepthAttributes(false, false))));
    registry.add(WsPixelFormatRegistry::Rgba32DepthStencil,
                 RCShdPtr<const WsPixelFormatBase>(new GlxPixelFormat(gfx::rgba32DepthAttributes(true, false))));
    return registry;
}

} // namespace

const WsPixelFormatRegistry& WsPixelFormatRegistry::getInstance() {
    static const WsPixelFormatRegistry instance = makeGlxRegistry();
    return instance;
}

void WsPixelFormatRegistry::add(int id, const RCShdPtr<const WsPixelFormatBase>& format) {
    _formats[id] = format;
}

RCShdPtr<const WsPixelFormatBase> WsPixelFormatRegistry::get(int id) const {
    const auto found = _formats.find(id);
    return found == _formats.end() ? RCShdPtr<const WsPixelFormatBase>() : found->second;
}

} // namespace Kr
