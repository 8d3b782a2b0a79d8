#include "xmlByteStream.h"

#include "Kr/OsFileReader.h"
#include "Kr/Xml.h"

#include <cstdio>

namespace Kr {

namespace {

const char* const sourcePath = "host-framework/src/xml/xmlByteStream";

std::string byteName(unsigned char c) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", c);
    return text;
}

} // namespace

XmlByteStream::XmlByteStream(OsFileReader& reader, const std::string& fileName)
    : _reader(reader), _fileName(fileName), _chunk(chunkSize) {}

void XmlByteStream::fail(const char* source, int sourceLine, const std::string& message) const {
    throw XmlEx::ExSyntaxError(source, sourceLine, message, _line, _fileName);
}

void XmlByteStream::fail(const std::string& message, int sourceLine) const {
    fail(sourcePath, sourceLine, message);
}

bool XmlByteStream::refill() {
    if (_atEnd) {
        return false;
    }
    _pos = 0;
    _end = _reader.read(_chunk.data(), _chunk.size());
    if (_end == 0) {
        _atEnd = true;
        if (_pending != 0) {
            fail("the file ends inside a UTF-8 byte sequence", __LINE__);
        }
        return false;
    }
    if (_atFileStart) {
        _atFileStart = false;
        skipByteOrderMark();
    }
    return _pos < _end || refill();
}

// Only the first chunk is looked at; a chunk is far longer than any mark, and the reader
// fills it completely unless the file is shorter.
void XmlByteStream::skipByteOrderMark() {
    const auto has = [this](std::initializer_list<unsigned char> mark) {
        if (_end < mark.size()) {
            return false;
        }
        std::size_t i = 0;
        for (const unsigned char b : mark) {
            if (_chunk[i++] != b) {
                return false;
            }
        }
        return true;
    };
    if (has({0xEF, 0xBB, 0xBF})) {
        _pos = 3;
    } else if (has({0xFE, 0xFF}) || has({0xFF, 0xFE})) {
        fail("the file is encoded in UTF-16; only UTF-8 is read", __LINE__);
    }
}

int XmlByteStream::decode(unsigned char c) {
    if (_pending != 0) {
        if (c < _low || c > _high) {
            fail("invalid UTF-8: byte " + byteName(c) + " where a continuation byte was expected", __LINE__);
        }
        --_pending;
        _low = 0x80;
        _high = 0xBF;
        return c;
    }
    switch (c) {
    case '\n':
        ++_line;
        return c;
    case '\r':
        ++_line;
        if ((_pos < _end || refill()) && _chunk[_pos] == '\n') {
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
