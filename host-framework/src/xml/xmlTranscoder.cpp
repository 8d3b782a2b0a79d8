// SPDX-License-Identifier: Apache-2.0
#include "xmlTranscoder.h"

#include <cerrno>

namespace Kr {

std::unique_ptr<XmlTranscoder> XmlTranscoder::open(const std::string& encoding) {
    const iconv_t handle = iconv_open("UTF-8", encoding.c_str());
    if (handle == reinterpret_cast<iconv_t>(-1)) {
        return nullptr;
    }
    return std::unique_ptr<XmlTranscoder>(new XmlTranscoder(handle));
}

XmlTranscoder::~XmlTranscoder() {
    iconv_close(_handle);
}

void XmlTranscoder::feed(const unsigned char* bytes, std::size_t size) {
    _raw.erase(_raw.begin(), _raw.begin() + static_cast<std::ptrdiff_t>(_rawPos));
    _rawPos = 0;
    _raw.insert(_raw.end(), bytes, bytes + size);
}

std::size_t XmlTranscoder::convert(unsigned char* out, std::size_t size) {
    // iconv's interface is not const-correct; it only reads the input.
    char* in = reinterpret_cast<char*>(_raw.data() + _rawPos);
    std::size_t inLeft = _raw.size() - _rawPos;
    char* outStart = reinterpret_cast<char*>(out);
    char* outPos = outStart;
    std::size_t outLeft = size;
    if (iconv(_handle, &in, &inLeft, &outPos, &outLeft) == static_cast<std::size_t>(-1) && errno == EILSEQ) {
        _invalid = outPos == outStart;
    }
    _rawPos = _raw.size() - inLeft;
    return static_cast<std::size_t>(outPos - outStart);
}

} // namespace Kr
