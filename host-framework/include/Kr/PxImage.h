// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>
#include <Kr/PxNode.h>

#include <string>
#include <vector>

namespace Kr {

// A pixel rectangle, x1 and y1 excluded. Row 0 is the top row.
struct PxRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    int width() const { return x1 > x0 ? x1 - x0 : 0; }
    int height() const { return y1 > y0 ? y1 - y0 : 0; }
    bool isEmpty() const { return width() == 0 || height() == 0; }
    friend bool operator==(const PxRect&, const PxRect&) = default;
};

struct PxImageFormat {
    int width = 0;
    int height = 0;
    int nbComps = 4;
    friend bool operator==(const PxImageFormat&, const PxImageFormat&) = default;
};

// Pixels pulled out of a processing node: RGBA floats, rows top to bottom.
struct KR_EXPORT PxImage {
    int width = 0;
    int height = 0;
    std::vector<float> rgba;

    const float* at(int x, int y) const { return &rgba[(static_cast<std::size_t>(y) * width + x) * 4]; }
};

// The image facet of a processing node.
class KR_EXPORT PxImageProtocol {
public:
    virtual ~PxImageProtocol();

    virtual PxImageFormat getImageFormat() const = 0;
    // Region of definition: where the image has pixels.
    virtual PxRect getImageROD() const = 0;
    // Writes the pixels of rect (inside the region of definition) into out, rect.width() * 4
    // floats per row. Runs on the processing worker threads.
    virtual void getImageResult(const PxRect& rect, float* out) const = 0;
    // Whether an image source lies at the end of the chain.
    virtual bool isChainConnected() const = 0;
    virtual bool producesFullFrames() const = 0;
    virtual int getNbStreams() const = 0;
    virtual PxImageFormat computeImageFormat() const = 0;
    virtual int computeImageFormatComps() const = 0;
};

// The framework's image node: every image operation is answered from its input node. The
// input is a field of the derived node, given by reference and not read while this base is
// being built. Without an input it is an empty image.
class KR_EXPORT PxImageNode : public PxImageProtocol, public virtual PxNode {
public:
    explicit PxImageNode(const PxNodePtr<const PxImageProtocol>& input);
    ~PxImageNode() override;

    void init() override;

    PxImageFormat getImageFormat() const override;
    PxRect getImageROD() const override;
    void getImageResult(const PxRect& rect, float* out) const override;
    bool isChainConnected() const override;
    bool producesFullFrames() const override;
    int getNbStreams() const override;
    PxImageFormat computeImageFormat() const override;
    int computeImageFormatComps() const override;

private:
    const PxNodePtr<const PxImageProtocol>& _inputNode;
};

// An image of one colour.
class KR_EXPORT PxConstantNode : public PxImageProtocol, public virtual PxNode {
public:
    PxConstantNode(int width, int height, const float rgba[4]);
    ~PxConstantNode() override;

    // Changes the colour and invalidates the node.
    void setColor(const float rgba[4]);

    PxImageFormat getImageFormat() const override;
    PxRect getImageROD() const override;
    void getImageResult(const PxRect& rect, float* out) const override;
    bool isChainConnected() const override { return true; }
    bool producesFullFrames() const override { return true; }
    int getNbStreams() const override { return 1; }
    PxImageFormat computeImageFormat() const override { return getImageFormat(); }
    int computeImageFormatComps() const override { return 4; }

private:
    int _width;
    int _height;
    float _rgba[4];
};

// An image read from a PNG file when the node is made.
class KR_EXPORT PxPngFileNode : public PxImageProtocol, public virtual PxNode {
public:
    // Refused with an error naming the file when it cannot be read as PNG.
    explicit PxPngFileNode(const std::string& path);
    ~PxPngFileNode() override;

    PxImageFormat getImageFormat() const override;
    PxRect getImageROD() const override;
    void getImageResult(const PxRect& rect, float* out) const override;
    bool isChainConnected() const override { return true; }
    bool producesFullFrames() const override { return true; }
    int getNbStreams() const override { return 1; }
    PxImageFormat computeImageFormat() const override { return getImageFormat(); }
    int computeImageFormatComps() const override { return 4; }

private:
    PxImage _image;
};

// Computes a node's whole image on the worker threads. An empty handle or a node without
// an image facet is refused with an error.
KR_EXPORT PxImage pxRenderImage(const PxStrongHndl<const PxNode>& node);
// PNG files, 8 bits per channel RGBA; errors name the file and the reason.
KR_EXPORT PxImage pxReadPng(const std::string& path);
KR_EXPORT void pxWritePng(const PxImage& image, const std::string& path);

} // namespace Kr
