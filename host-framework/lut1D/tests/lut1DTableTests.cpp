// SPDX-License-Identifier: Apache-2.0
// The LUT 1D tool's table: the two file formats, the curve between and beyond its samples,
// the canonical text kept in documents, and the place and reason of every refusal.

#include "lut1DTable.h"

#include <Kr/Ex.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <unistd.h>

using Lut1D::Table;
namespace fs = std::filesystem;

namespace {

TEST(Lut1DTable, CubeCurvesInterpolateInsideEachChannelsDomainAndClampOutside) {
    const Table table = Table::parseCube("# a comment\r\n"
                                         "TITLE \"test\"\r\n"
                                         "DOMAIN_MIN 0 -1 0\r\n"
                                         "DOMAIN_MAX 1 1 2\r\n"
                                         "\r\n"
                                         "LUT_1D_SIZE 3\r\n"
                                         "0 0 0\r\n"
                                         "0.5 1 +2e-1\r\n"
                                         "1 0 1\r\n",
                                         "test.cube");
    ASSERT_EQ(table.getSize(), 3);
    EXPECT_EQ(table.apply(0, 0.25f), 0.25f);
    EXPECT_EQ(table.apply(0, 0.75f), 0.75f);
    // Green spans -1 to 1: its middle sample sits at 0.
    EXPECT_EQ(table.apply(1, 0.0f), 1.0f);
    EXPECT_EQ(table.apply(1, -0.5f), 0.5f);
    EXPECT_FLOAT_EQ(table.apply(2, 1.0f), 0.2f);
    EXPECT_EQ(table.apply(0, -3.0f), 0.0f);
    EXPECT_EQ(table.apply(0, 7.0f), 1.0f);
    EXPECT_EQ(table.apply(0, std::numeric_limits<float>::quiet_NaN()), 0.0f);
    EXPECT_EQ(table.apply(2, std::numeric_limits<float>::infinity()), 1.0f);
}

// The width of such a domain overflows a float; positions are computed in double.
TEST(Lut1DTable, DomainsAsWideAsFloatsGoStillMapAcrossTheWholeCurve) {
    const Table wide = Table::parseCube("LUT_1D_SIZE 3\nDOMAIN_MIN -3e38 -3e38 -3e38\nDOMAIN_MAX 3e38 3e38 3e38\n"
                                        "0 0 0\n1 1 1\n2 2 2\n",
                                        "wide.cube");
    EXPECT_EQ(wide.apply(0, -3e38f), 0.0f);
    EXPECT_EQ(wide.apply(0, 0.0f), 1.0f);
    EXPECT_EQ(wide.apply(1, 1.5e38f), 1.5f);
    EXPECT_EQ(wide.apply(2, 3e38f), 2.0f);
}

TEST(Lut1DTable, Spi1dSingleComponentServesEveryChannelOverItsFromRange) {
    const Table single = Table::parseSpi1d("Version 1\nFrom -1 1\nLength 2\nComponents 1\n{\n  4\n  8\n}\n", "a.spi1d");
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(single.apply(c, 0.0f), 6.0f);
        EXPECT_EQ(single.getDomainMin()[c], -1.0f);
    }
    const Table three = Table::parseSpi1d("Version 1\nLength 2\nComponents 3\n{\n0 0 1\n1 2 0\n}\n", "b.spi1d");
    EXPECT_EQ(three.apply(0, 0.5f), 0.5f);
    EXPECT_EQ(three.apply(1, 0.5f), 1.0f);
    EXPECT_EQ(three.apply(2, 0.5f), 0.5f);
}

TEST(Lut1DTable, CanonicalCubeTextKeepsEveryFloatExactly) {
    const Table table = Table::parseSpi1d(
        "Version 1\nFrom 0.1 0.7\nLength 3\nComponents 3\n{\n1e-7 0.1 0.3333333\n0.2 16777215 -0.5\n1 1 1\n}\n", "c");
    const Table copy = Table::parseCube(table.toCubeText(), "copy");
    ASSERT_EQ(copy.getSize(), table.getSize());
    EXPECT_EQ(copy.getDomainMin(), table.getDomainMin());
    EXPECT_EQ(copy.getDomainMax(), table.getDomainMax());
    for (int i = 0; i < table.getSize(); ++i)
        EXPECT_EQ(copy.getEntry(i), table.getEntry(i));
}

struct Refusal {
    const char* format;
    const char* text;
    int line;
    const char* reason;
};

TEST(Lut1DTable, RefusalsNameTheLineAndTheReason) {
    const Refusal refusals[] = {
        {"cube", "LUT_1D_SIZE 1\n0 0 0\n", 1, "out of range"},
        {"cube", "LUT_1D_SIZE 65537\n", 1, "out of range"},
        {"cube", "LUT_1D_SIZE 2.5\n", 1, "whole number"},
        {"cube", "TITLE \"x\"\nLUT_3D_SIZE 2\n", 2, "3D LUT"},
        {"cube", "0 0 0\nLUT_1D_SIZE 2\n", 1, "before LUT_1D_SIZE"},
        {"cube", "LUT_1D_SIZE 2\n0 0 0\n", 2, "more entries than the 1 found"},
        {"cube", "LUT_1D_SIZE 2\n0 0 0\n1 1 1\n1 1 1\n", 4, "more entries than LUT_1D_SIZE 2"},
        {"cube", "LUT_1D_SIZE 2\n0 0 0\n1 1\n", 3, "needs 3 values, found 2"},
        {"cube", "LUT_1D_SIZE 2\n0 0 nan\n1 1 1\n", 2, "\"nan\" is not a finite number"},
        {"cube", "LUT_1D_SIZE 2\n0 0 0\nDOMAIN_MIN 0 0 0\n1 1 1\n", 3, "after the table data"},
        {"cube", "DOMAIN_MIN 0 0 0\nDOMAIN_MAX 1 0 1\nLUT_1D_SIZE 2\n0 0 0\n1 1 1\n", 2, "not below"},
        {"cube", "LUT_1D_SIZE 2\nLUT_IN_VIDEO_RANGE\n", 2, "unknown keyword LUT_IN_VIDEO_RANGE"},
        {"cube", "# nothing\n", 1, "no LUT_1D_SIZE"},
        {"spi1d", "Version 2\n", 1, "version 2"},
        {"spi1d", "Version 1\nLength 2\nComponents 2\n", 3, "Components 2"},
        {"spi1d", "Version 1\n{\n0\n1\n}\n", 2, "before Length"},
        {"spi1d", "Version 1\nLength 2\n{\n0\n1\n", 5, "not closed"},
        {"spi1d", "Version 1\nLength 2\n{\n0\n1\n}\n2\n", 7, "after the closing"},
        {"spi1d", "Version 1\nFrom 1 1\nLength 2\n{\n0\n1\n}\n", 2, "not below"},
        {"spi1d", "Version 1\nLength 2\nComponents 3\n{\n0 0 0\n1\n}\n", 6, "needs 3 values, found 1"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.text);
        try {
            if (std::string(refusal.format) == "cube")
                Table::parseCube(refusal.text, "lut");
            else
                Table::parseSpi1d(refusal.text, "lut");
            ADD_FAILURE() << "accepted";
        } catch (const Kr::ExBase& e) {
            EXPECT_EQ(e.getFile(), "lut");
            EXPECT_EQ(e.getLine(), refusal.line);
            EXPECT_NE(e.getText().find(refusal.reason), std::string::npos) << e.getText();
        }
    }
}

TEST(Lut1DTable, FilesAreChosenByExtensionAndUnreadableOnesNamed) {
    const fs::path dir = fs::temp_directory_path() / ("lut1DTableTests-" + std::to_string(::getpid()));
    fs::create_directories(dir / "folder.cube");
    std::ofstream(dir / "upper.CUBE") << "LUT_1D_SIZE 2\n1 1 1\n0 0 0\n";
    std::ofstream(dir / "curve.spi1d") << "Version 1\nLength 2\n{\n1\n0\n}\n";
    std::ofstream(dir / "curve.txt") << "LUT_1D_SIZE 2\n1 1 1\n0 0 0\n";

    EXPECT_EQ(Table::readFile((dir / "upper.CUBE").string()).apply(0, 0.25f), 0.75f);
    EXPECT_EQ(Table::readFile((dir / "curve.spi1d").string()).apply(1, 0.25f), 0.75f);
    auto reasonFor = [](const fs::path& path) -> std::string {
        try {
            Table::readFile(path.string());
        } catch (const Kr::ExBase& e) {
            EXPECT_EQ(e.getFile(), path.string());
            return e.getText();
        }
        return "accepted";
    };
    EXPECT_NE(reasonFor(dir / "curve.txt").find("unknown LUT format \".txt\""), std::string::npos);
    EXPECT_NE(reasonFor(dir / "missing.cube").find("no such file"), std::string::npos);
    EXPECT_NE(reasonFor(dir / "folder.cube").find("not a regular file"), std::string::npos);
    fs::remove_all(dir);
}

} // namespace
