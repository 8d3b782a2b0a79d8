// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <iconv.h>
#include <memory>
#include <string>
#include <vector>

namespace Kr {

// Converts a file's bytes from its encoding to UTF-8 with the C library's iconv, one chunk at
// a time: raw bytes go in with feed(), UTF-8 comes out of convert(). A character cut by the
// end of the bytes fed so far waits for the next feed.
class XmlTranscoder {
public:
    // Null when iconv does not know the encoding.
    static std::unique_ptr<XmlTranscoder> open(const std::string& encoding);
    ~XmlTranscoder();
    XmlTranscoder(const XmlTranscoder&) = delete;
    XmlTranscoder& operator=(const XmlTranscoder&) = delete;

    void feed(const unsigned char* bytes, std::size_t size);
    // Writes up to size bytes of UTF-8 and returns how many; 0 when it needs more input or
    // when the next bytes are not a character of the encoding (then invalid() is true).
    std::size_t convert(unsigned char* out, std::size_t size);
    bool invalid() const { return _invalid; }
    // Bytes fed and not yet converted: at the end of the file, the start of a cut character.
    std::size_t pending() const { return _raw.size() - _rawPos; }

private:
    explicit XmlTranscoder(iconv_t handle) : _handle(handle) {}

    iconv_t _handle;
    std::vector<unsigned char> _raw;
    std::size_t _rawPos = 0;
    bool _invalid = false;
};

} // namespace Kr
