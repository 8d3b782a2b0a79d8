// SPDX-License-Identifier: Apache-2.0
#include <Kr/PxImage.h>

#include <Kr/PiErrors.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <png.h>

namespace Kr {

namespace {
struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

[[noreturn]] void pngError(png_structp png, png_const_charp message) {
    auto* text = static_cast<std::string*>(png_get_error_ptr(png));
    *text = message;
    png_longjmp(png, 1);
}
void pngWarning(png_structp, png_const_charp) {}
} // namespace

PxImage pxReadPng(const std::string& path) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file)
        throwPiError("cannot read PNG file \"" + path + "\": " + std::strerror(errno));
    unsigned char signature[8] = {};
    if (std::fread(signature, 1, 8, file.get()) != 8 || png_sig_cmp(signature, 0, 8) != 0)
        throwPiError("cannot read PNG file \"" + path + "\": not a PNG file");
    std::string error;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        throwPiError("cannot read PNG file \"" + path + "\": out of memory");
    }
    PxImage image;
    std::vector<unsigned char> pixels;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        throwPiError("cannot read PNG file \"" + path + "\": " + error);
    }
    png_init_io(png, file.get());
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    pixels.resize(static_cast<std::size_t>(width) * height * 4);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = &pixels[static_cast<std::size_t>(y) * width * 4];
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.rgba.resize(pixels.size());
    std::transform(pixels.begin(), pixels.end(), image.rgba.begin(), [](unsigned char v) { return v / 255.0f; });
    return image;
}

void pxWritePng(const PxImage& image, const std::string& path) {
    if (image.width <= 0 || image.height <= 0)
        throwPiError("cannot write PNG file \"" + path + "\": the image is empty");
    std::vector<unsigned char> pixels(image.rgba.size());
    std::transform(image.rgba.begin(), image.rgba.end(), pixels.begin(),
                   [](float v) { return static_cast<unsigned char>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); });
    // Written beside the target and renamed, so a failure leaves no half-written file.
    const std::string partial = path + ".partial";
    File file(std::fopen(partial.c_str(), "wb"));
    if (!file)
        throwPiError("cannot write PNG file \"" + path + "\": " + std::strerror(errno));
    std::string error;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<png_bytep> rows(image.height);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        file.reset();
        std::remove(partial.c_str());
        throwPiError("cannot write PNG file \"" + path + "\": " + (error.empty() ? "out of memory" : error));
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    for (int y = 0; y < image.height; ++y)
        rows[y] = &pixels[static_cast<std::size_t>(y) * image.width * 4];
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file.get()) != 0) {
        const std::string reason = std::strerror(errno);
        file.reset();
        std::remove(partial.c_str());
        throwPiError("cannot write PNG file \"" + path + "\": " + reason);
    }
    file.reset();
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        std::remove(partial.c_str());
        throwPiError("cannot write PNG file \"" + path + "\": " + reason);
    }
}

} // namespace Kr
