// SPDX-License-Identifier: Apache-2.0
#include "pngImage.h"
#include "readTestMovies.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace bridge::client;

namespace {

std::string scratch(const std::string& name) {
    return readtest::mediaDirectory() + "/" + std::to_string(getpid()) + "-" + name;
}

// A 3 x 2 picture stored bottom row first as BGRA, the way moviehost hands frames over.
TEST(PngImage, BottomUpBgraComesBackTopRowFirstAsRgba) {
    const std::uint8_t bottomUp[] = {// bottom row: blue, green, red pixels
                                     255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 128,
                                     // top row: black, white, grey
                                     0, 0, 0, 255, 255, 255, 255, 255, 10, 20, 30, 0};
    const std::string path = scratch("bgra.png");
    writePng(path, PixelView{bottomUp, 3, 2, PixelOrder::bgra, true, 0});
    const PngImage image = readPng(path);
    std::filesystem::remove(path);
    ASSERT_EQ(image.width, 3u);
    ASSERT_EQ(image.height, 2u);
    ASSERT_TRUE(image.hasAlpha);
    const std::vector<std::uint8_t> topDownRgba = {0, 0, 0,   255, 255, 255, 255, 255, 30,  20, 10, 0,
                                                   0, 0, 255, 255, 0,   255, 0,   255, 255, 0,  0,  128};
    EXPECT_EQ(image.pixels, topDownRgba);
}

TEST(PngImage, OpaqueAndGreyFilesComeBackAsRgb) {
    const std::uint8_t rgb[] = {1, 2, 3, 4, 5, 6};
    const std::string path = scratch("rgb.png");
    writePng(path, PixelView{rgb, 1, 2, PixelOrder::rgb, false, 0});
    const PngImage image = readPng(path);
    EXPECT_FALSE(image.hasAlpha);
    EXPECT_EQ(image.pixels, std::vector<std::uint8_t>(rgb, rgb + 6));

    const std::string grey = scratch("grey.png");
    readtest::run("ffmpeg -nostdin -v error -y -f lavfi -i color=c=0x808080:size=4x2 -frames:v 1 -pix_fmt gray '" +
                  grey + "'");
    const PngImage greyImage = readPng(grey);
    EXPECT_FALSE(greyImage.hasAlpha);
    ASSERT_EQ(greyImage.pixels.size(), 4u * 2 * 3);
    EXPECT_TRUE(std::all_of(greyImage.pixels.begin(), greyImage.pixels.end(), [](auto v) { return v == 0x80; }));
    std::filesystem::remove(path);
    std::filesystem::remove(grey);
}

TEST(PngImage, FailuresNameTheFileAndTheReason) {
    const std::string notPng = scratch("text.png");
    std::ofstream(notPng) << "not a picture";
    for (const std::string& path : {notPng, scratch("missing.png")}) {
        try {
            readPng(path);
            ADD_FAILURE() << path;
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find("cannot read PNG \"" + path + "\": "), std::string::npos)
                << error.what();
        }
    }
    std::filesystem::remove(notPng);
    const std::uint8_t pixel[] = {0, 0, 0};
    EXPECT_THROW(writePng("/nonexistent-dir/x.png", PixelView{pixel, 1, 1, PixelOrder::rgb, false, 0}),
                 std::runtime_error);
}

} // namespace
