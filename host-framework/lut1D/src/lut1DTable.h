// SPDX-License-Identifier: Apache-2.0
#pragma once

// A 1D colour look-up table: one curve per colour channel, sampled at evenly spaced inputs
// across the channel's domain. Read from the common text formats (.cube, .spi1d) and kept in
// documents as canonical .cube text.

#include <array>
#include <string>
#include <vector>

namespace Lut1D {

class Table {
public:
    // The most entries a table may have; larger files are refused rather than read into memory.
    static constexpr int maxSize = 65536;

    // Reads a .cube or .spi1d file (chosen by extension, case ignored). A file that cannot be
    // opened or read raises Kr::ExBase carrying the file and, for content errors, the line.
    static Table readFile(const std::string& path);
    // Parses .cube text; sourceName is what errors name as the file.
    static Table parseCube(const std::string& text, const std::string& sourceName);
    static Table parseSpi1d(const std::string& text, const std::string& sourceName);

    // The table as .cube text, exact for every float it holds.
    std::string toCubeText() const;

    int getSize() const { return static_cast<int>(_entries.size()); }
    const std::array<float, 3>& getDomainMin() const { return _domainMin; }
    const std::array<float, 3>& getDomainMax() const { return _domainMax; }
    const std::array<float, 3>& getEntry(int index) const { return _entries.at(index); }

    // The curve of one channel at an input; inputs outside the domain (and NaN) take the
    // nearest end of the curve, between samples the value is interpolated linearly.
    float apply(int channel, float value) const;

private:
    std::array<float, 3> _domainMin{0, 0, 0};
    std::array<float, 3> _domainMax{1, 1, 1};
    std::vector<std::array<float, 3>> _entries;
};

} // namespace Lut1D
