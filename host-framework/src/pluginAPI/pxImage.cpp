// SPDX-License-Identifier: Apache-2.0
#include <Kr/PxImage.h>

#include <Kr/PiErrors.h>

#include <algorithm>
#include <cstring>

namespace Kr {

PxImageProtocol::~PxImageProtocol() = default;

PxImageNode::PxImageNode(const PxNodePtr<const PxImageProtocol>& input) : PxNode(PxNode::Init()), _inputNode(input) {}

PxImageNode::~PxImageNode() = default;

void PxImageNode::init() {}

PxImageFormat PxImageNode::getImageFormat() const {
    return _inputNode ? _inputNode->getImageFormat() : PxImageFormat{};
}

PxRect PxImageNode::getImageROD() const {
    return _inputNode ? _inputNode->getImageROD() : PxRect{};
}

void PxImageNode::getImageResult(const PxRect& rect, float* out) const {
    if (_inputNode)
        _inputNode->getImageResult(rect, out);
    else
        std::fill(out, out + static_cast<std::size_t>(rect.width()) * rect.height() * 4, 0.0f);
}

bool PxImageNode::isChainConnected() const {
    return _inputNode && _inputNode->isChainConnected();
}

bool PxImageNode::producesFullFrames() const {
    return !_inputNode || _inputNode->producesFullFrames();
}

int PxImageNode::getNbStreams() const {
    return _inputNode ? _inputNode->getNbStreams() : 0;
}

PxImageFormat PxImageNode::computeImageFormat() const {
    return _inputNode ? _inputNode->computeImageFormat() : PxImageFormat{};
}

int PxImageNode::computeImageFormatComps() const {
    return _inputNode ? _inputNode->computeImageFormatComps() : 0;
}

PxConstantNode::PxConstantNode(int width, int height, const float rgba[4])
    : PxNode(PxNode::Init()), _width(std::max(width, 0)), _height(std::max(height, 0)) {
    std::copy(rgba, rgba + 4, _rgba);
}

PxConstantNode::~PxConstantNode() = default;

void PxConstantNode::setColor(const float rgba[4]) {
    std::copy(rgba, rgba + 4, _rgba);
    invalidate();
}

PxImageFormat PxConstantNode::getImageFormat() const {
    return {_width, _height, 4};
}

PxRect PxConstantNode::getImageROD() const {
    return {0, 0, _width, _height};
}

void PxConstantNode::getImageResult(const PxRect& rect, float* out) const {
    const std::size_t count = static_cast<std::size_t>(rect.width()) * rect.height();
    for (std::size_t i = 0; i < count; ++i)
        std::copy(_rgba, _rgba + 4, out + i * 4);
}

PxPngFileNode::PxPngFileNode(const std::string& path) : PxNode(PxNode::Init()), _image(pxReadPng(path)) {}

PxPngFileNode::~PxPngFileNode() = default;

PxImageFormat PxPngFileNode::getImageFormat() const {
    return {_image.width, _image.height, 4};
}

PxRect PxPngFileNode::getImageROD() const {
    return {0, 0, _image.width, _image.height};
}

void PxPngFileNode::getImageResult(const PxRect& rect, float* out) const {
    for (int y = rect.y0; y < rect.y1; ++y) {
        const float* row = _image.at(rect.x0, y);
        std::copy(row, row + rect.width() * 4, out + static_cast<std::size_t>(y - rect.y0) * rect.width() * 4);
    }
}

PxImage pxRenderImage(const PxStrongHndl<const PxNode>& node) {
    if (!node)
        throwPiError("cannot render: no processing node (the output is empty)");
    PxStrongHndl<const PxImageProtocol> image = node.dynamicCast<const PxImageProtocol>();
    if (!image)
        throwPiError("cannot render: the processing node has no image (" + typeNameOf(typeid(*node)) + ")");
    const PxRect rod = image->getImageROD();
    PxImage result;
    result.width = rod.width();
    result.height = rod.height();
    result.rgba.assign(static_cast<std::size_t>(result.width) * result.height * 4, 0.0f);
    if (rod.isEmpty())
        return result;
    // Bands of rows, computed on the worker threads through a counted reference.
    PxNodePtr<const PxImageProtocol> source(image);
    const int bands = std::min(result.height, PxRequestMgr::getInstance().getNbWorkers() * 2);
    PxRequestMgr::getInstance().runTasks(bands, [&](int band) {
        const int y0 = rod.y0 + rod.height() * band / bands;
        const int y1 = rod.y0 + rod.height() * (band + 1) / bands;
        PxRect rect{rod.x0, y0, rod.x1, y1};
        source->getImageResult(rect, &result.rgba[static_cast<std::size_t>(y0 - rod.y0) * result.width * 4]);
    });
    return result;
}

} // namespace Kr
