// SPDX-License-Identifier: Apache-2.0
#include "pngImage.h"

#include <png.h>

#include <cstring>
#include <limits>
#include <stdexcept>

namespace bridge::client {

namespace {

std::uint32_t componentsOf(PixelOrder order) {
    return order == PixelOrder::rgb ? 3 : 4;
}

png_uint_32 formatOf(PixelOrder order) {
    switch (order) {
    case PixelOrder::rgb:
        return PNG_FORMAT_RGB;
    case PixelOrder::rgba:
        return PNG_FORMAT_RGBA;
    case PixelOrder::bgra:
        return PNG_FORMAT_BGRA;
    }
    return PNG_FORMAT_RGB;
}

std::string reasonOf(const png_image& image) {
    return image.message[0] != '\0' ? std::string(image.message) : std::string("unknown libpng error");
}

} // namespace

void writePng(const std::string& path, const PixelView& view) {
    if (view.data == nullptr || view.width == 0 || view.height == 0) {
        throw std::runtime_error("cannot write PNG \"" + path + "\": the picture is empty");
    }
    const std::size_t packed = static_cast<std::size_t>(view.width) * componentsOf(view.order);
    const std::size_t stride = view.rowStride == 0 ? packed : view.rowStride;
    if (stride < packed || stride > static_cast<std::size_t>(std::numeric_limits<png_int_32>::max())) {
        throw std::runtime_error("cannot write PNG \"" + path + "\": row stride " + std::to_string(stride) +
                                 " does not fit rows of " + std::to_string(packed) + " bytes");
    }

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = view.width;
    image.height = view.height;
    image.format = formatOf(view.order);
    // libpng reads a negative stride as rows stored bottom-up from the start of the buffer.
    const auto rowStride = static_cast<png_int_32>(stride);
    if (!png_image_write_to_file(&image, path.c_str(), 0, view.data, view.bottomUp ? -rowStride : rowStride, nullptr)) {
        const std::string reason = reasonOf(image);
        png_image_free(&image);
        throw std::runtime_error("cannot write PNG \"" + path + "\": " + reason);
    }
}

PngImage readPng(const std::string& path) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        throw std::runtime_error("cannot read PNG \"" + path + "\": " + reasonOf(image));
    }

    PngImage result;
    result.width = image.width;
    result.height = image.height;
    result.hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = result.hasAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    try {
        result.pixels.resize(PNG_IMAGE_SIZE(image));
    } catch (const std::exception&) {
        png_image_free(&image);
        throw std::runtime_error("cannot read PNG \"" + path + "\": " + std::to_string(image.width) + " x " +
                                 std::to_string(image.height) + " pixels do not fit in memory");
    }
    if (!png_image_finish_read(&image, nullptr, result.pixels.data(), 0, nullptr)) {
        const std::string reason = reasonOf(image);
        png_image_free(&image);
        throw std::runtime_error("cannot read PNG \"" + path + "\": " + reason);
    }
    return result;
}

} // namespace bridge::client
