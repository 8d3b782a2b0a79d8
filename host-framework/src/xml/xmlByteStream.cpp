// SPDX-License-Identifier: Apache-2.0
#include "xmlByteStream.h"

#include "Kr/OsFileReader.h"
#include "Kr/Xml.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace Kr {

namespace {

const char* const sourcePath = "host-framework/src/xml/xmlByteStream";

std::string byteName(unsigned char c) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", c);
    return text;
}

std::string upperCase(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

bool isUtf8Name(const std::string& upper) {
    return upper == "UTF-8" || upper == "UTF8";
}

bool isUtf16Name(const std::string& upper) {
    return upper == "UTF-16" || upper == "UTF-16LE" || upper == "UTF-16BE" || upper == "UCS-2" ||
           upper == "ISO-10646-UCS-2";
}

} // namespace

XmlByteStream::XmlByteStream(OsFileReader& reader, const std::string& fileName)
    : _reader(&reader), _fileName(fileName), _chunk(chunkSize), _data(_chunk.data()) {}

XmlByteStream::XmlByteStream(std::string_view text, const std::string& fileName)
    : _reader(nullptr), _text(text), _fileName(fileName), _chunk(chunkSize), _data(_chunk.data()) {}

XmlByteStream::~XmlByteStream() = default;

void XmlByteStream::fail(const char* source, int sourceLine, const std::string& message) const {
    throw XmlEx::ExSyntaxError(source, sourceLine, message, _line, _fileName);
}

void XmlByteStream::fail(const std::string& message, int sourceLine) const {
    fail(sourcePath, sourceLine, message);
}

void XmlByteStream::pushEntity(const std::string& text) {
    if (_entities.size() >= maxEntityDepth) {
        fail("entities nested more than " + std::to_string(maxEntityDepth) + " deep", __LINE__);
    }
    _expandedBytes += text.size();
    if (_expandedBytes > expansionAllowance + expansionFactor * _fileBytes) {
        fail("entity expansion passes its limit of " + std::to_string(expansionAllowance >> 20) + " MiB plus " +
                 std::to_string(expansionFactor) + " times the bytes of the file; refused as an expansion attack",
             __LINE__);
    }
    _entities.push_back({_data, _pos, _end, _line});
    _data = reinterpret_cast<const unsigned char*>(text.data());
    _pos = 0;
    _end = text.size();
}

int XmlByteStream::next() {
    if (!_entities.empty()) {
        const SavedInput saved = _entities.back();
        _entities.pop_back();
        _data = saved.data;
        _pos = saved.pos;
        _end = saved.end;
        _line = saved.line;
        return entityEnd;
    }
    return refill() ? get() : endOfFile;
}

std::size_t XmlByteStream::readFile(unsigned char* buffer, std::size_t size) {
    std::size_t n;
    if (_reader) {
        n = _reader->read(buffer, size);
    } else {
        n = std::min(size, _text.size());
        std::memcpy(buffer, _text.data(), n);
        _text.remove_prefix(n);
    }
    _fileBytes += n;
    return n;
}

bool XmlByteStream::refill() {
    if (_atEnd) {
        return false;
    }
    _pos = 0;
    if (_transcoder) {
        for (;;) {
            _end = _transcoder->convert(_chunk.data(), _chunk.size());
            if (_end != 0) {
                return true;
            }
            if (_transcoder->invalid()) {
                fail("bytes that are not a character in encoding \"" + _detectedEncoding + "\"", __LINE__);
            }
            unsigned char raw[chunkSize];
            const std::size_t n = readFile(raw, sizeof raw);
            if (n == 0) {
                if (_transcoder->pending() != 0) {
                    fail("the file ends inside a character", __LINE__);
                }
                _atEnd = true;
                return false;
            }
            _transcoder->feed(raw, n);
        }
    }
    _end = readFile(_chunk.data(), _chunk.size());
    if (_end == 0) {
        _atEnd = true;
        if (_pending != 0) {
            fail("the file ends inside a UTF-8 byte sequence", __LINE__);
        }
        return false;
    }
    if (_atFileStart) {
        _atFileStart = false;
        detectEncoding();
        if (_transcoder) {
            return refill();
        }
    }
    return _pos < _end || refill();
}

// Only the first chunk is looked at; a chunk is far longer than any mark, and the reader
// fills it completely unless the file is shorter. Without a mark, UTF-16 shows by the zero
// bytes around the "<" that begins every document.
void XmlByteStream::detectEncoding() {
    const auto has = [this](std::initializer_list<unsigned char> mark) {
        return _end >= mark.size() && std::memcmp(_chunk.data(), mark.begin(), mark.size()) == 0;
    };
    if (has({0xEF, 0xBB, 0xBF})) {
        _pos = 3;
        _hasUtf8Mark = true;
    } else if (has({0xFE, 0xFF}) || has({0xFF, 0xFE})) {
        _pos = 2;
        startTranscoding(_chunk[0] == 0xFE ? "UTF-16BE" : "UTF-16LE");
    } else if (has({0x3C, 0x00, 0x3F, 0x00})) {
        startTranscoding("UTF-16LE");
    } else if (has({0x00, 0x3C, 0x00, 0x3F})) {
        startTranscoding("UTF-16BE");
    }
}

// The bytes of the chunk not read yet are the first the transcoder converts.
void XmlByteStream::startTranscoding(const std::string& encoding) {
    _transcoder = XmlTranscoder::open(encoding);
    if (!_transcoder) {
        fail("encoding \"" + encoding + "\" is not supported", __LINE__);
    }
    _detectedEncoding = encoding;
    _transcoder->feed(_chunk.data() + _pos, _end - _pos);
    _pos = _end = 0;
}

void XmlByteStream::declareEncoding(const std::string& name) {
    const std::string upper = upperCase(name);
    if (!_detectedEncoding.empty()) {
        if (!isUtf16Name(upper)) {
            fail("the file is in UTF-16 but declares encoding \"" + name + "\"", __LINE__);
        }
        return;
    }
    if (isUtf16Name(upper)) {
        fail("the file declares encoding \"" + name + "\" but is not in UTF-16", __LINE__);
    }
    if (isUtf8Name(upper)) {
        return;
    }
    if (_hasUtf8Mark) {
        fail("the file begins with a UTF-8 byte-order mark but declares encoding \"" + name + "\"", __LINE__);
    }
    startTranscoding(name);
}

int XmlByteStream::decode(unsigned char c) {
    if (!_entities.empty()) {
        return c; // replacement text was checked when it was read from the file
    }
    if (_pending != 0) {
        if (c < _low || c > _high) {
            if (_high == 0xBD && c >= 0xBE) {
                fail("U+FFFE and U+FFFF are not characters XML allows", __LINE__);
            }
            fail("invalid UTF-8: byte " + byteName(c) + " where a continuation byte was expected", __LINE__);
        }
        --_pending;
        _low = 0x80;
        _high = _afterEF && _pending == 1 && c == 0xBF ? 0xBD : 0xBF;
        return c;
    }
    switch (c) {
    case '\n':
        ++_line;
        return c;
    case '\r':
        ++_line;
        if ((_pos < _end || refill()) && _data[_pos] == '\n') {
            ++_pos;
        }
        return '\n';
    case '\t':
        return c;
    default:
        break;
    }
    if (c < 0x20) {
        fail("control character " + byteName(c) + " is not allowed in XML", __LINE__);
    }
    // Lead bytes, with the first continuation byte's range narrowed where needed to refuse
    // overlong forms, UTF-16 surrogates and code points above U+10FFFF.
    _afterEF = c == 0xEF;
    if (c >= 0xC2 && c <= 0xDF) {
        _pending = 1;
    } else if (c == 0xE0) {
        _pending = 2;
        _low = 0xA0;
    } else if (c == 0xED) {
        _pending = 2;
        _high = 0x9F;
    } else if (c >= 0xE1 && c <= 0xEF) {
        _pending = 2;
    } else if (c == 0xF0) {
        _pending = 3;
        _low = 0x90;
    } else if (c >= 0xF1 && c <= 0xF3) {
        _pending = 3;
    } else if (c == 0xF4) {
        _pending = 3;
        _high = 0x8F;
    } else {
        fail("invalid UTF-8: byte " + byteName(c) + " cannot start a character", __LINE__);
    }
    return c;
}

} // namespace Kr
