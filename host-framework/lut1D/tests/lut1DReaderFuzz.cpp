// SPDX-License-Identifier: Apache-2.0
// libFuzzer target: feeds arbitrary bytes to both LUT readers (.cube and .spi1d). Besides the
// sanitizers' checks: a refusal is the framework's exception naming a line inside the input,
// and a table that is read keeps every number through its .cube text and maps any input to
// a value between its entries' extremes.

#include "lut1DTable.h"

#include <Kr/Ex.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "LUT reader broke its promise: %s\n", what);
        std::abort();
    }
}

void check(const Lut1D::Table& table) {
    const std::string text = table.toCubeText();
    require(Lut1D::Table::parseCube(text, "canonical").toCubeText() == text, "the .cube text changed the table");
    for (int c = 0; c < 3; ++c) {
        float low = table.getEntry(0)[c], high = low;
        for (int i = 1; i < table.getSize(); ++i) {
            low = std::min(low, table.getEntry(i)[c]);
            high = std::max(high, table.getEntry(i)[c]);
        }
        for (float input : {table.getDomainMin()[c], table.getDomainMax()[c], 0.0f, 0.5f, -1e30f, 1e30f,
                            std::numeric_limits<float>::quiet_NaN()}) {
            const float output = table.apply(c, input);
            // Interpolating between entries of opposite huge signs may overflow to infinity.
            require(std::isinf(output) || (output >= low && output <= high), "a value outside the curve");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const long lines = 1 + std::count(text.begin(), text.end(), '\n');
    for (auto parse : {&Lut1D::Table::parseCube, &Lut1D::Table::parseSpi1d}) {
        try {
            check(parse(text, "fuzz"));
        } catch (const Kr::ExBase& error) {
            require(error.getLine() >= 0 && error.getLine() <= lines, "an error line outside the input");
        }
    }
    return 0;
}
