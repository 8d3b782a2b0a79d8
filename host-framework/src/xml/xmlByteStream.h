#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace Kr {

class OsFileReader;

// Bytes that a run of text can take without a look from the parser.
constexpr std::array<bool, 256> plainTextTable() {
    std::array<bool, 256> table{};
    for (int c = 0x20; c < 0x80; ++c) {
        table[c] = c != '<' && c != '&' && c != ']' && c != '>';
    }
    table['\n'] = true;
    table['\t'] = true;
    return table;
}

// Reads a file in fixed-size chunks and hands the parser one byte at a time, already
// prepared the way XML wants it: line ends normalised (CR LF and a lone CR become LF),
// lines counted, a UTF-8 byte-order mark dropped, and every byte checked to belong to a
// well-formed UTF-8 sequence of an allowed XML character. Doing this in one place means
// the parser never sees a byte it would have to question, whatever construct it is in.
class XmlByteStream {
public:
    static constexpr int endOfFile = -1;
#ifdef KR_XML_SMALL_BUFFERS
    // The fuzzing build makes every construct straddle chunk ends.
    static constexpr std::size_t chunkSize = 7;
#else
    static constexpr std::size_t chunkSize = 64 * 1024;
#endif

    XmlByteStream(OsFileReader& reader, const std::string& fileName);

    int get() {
        if (_pos == _end && !refill()) {
            return endOfFile;
        }
        const unsigned char c = _chunk[_pos++];
        if (static_cast<unsigned char>(c - 0x20) < 0x60 && _pending == 0) {
            return c;
        }
        return decode(c);
    }

    // Appends the bytes from here to the next one the parser's text rule must look at (markup,
    // references, "]" and ">", anything but printable ASCII, tabs and line feeds), as far as the
    // current chunk goes; returns whether it appended any. It is get() for a whole run of text.
    bool appendPlainText(std::string& out) {
        if (_pending != 0) {
            return false;
        }
        const std::size_t start = _pos;
        while (_pos < _end && plainText[_chunk[_pos]]) {
            _line += _chunk[_pos] == '\n';
            ++_pos;
        }
        out.append(reinterpret_cast<const char*>(_chunk.data()) + start, _pos - start);
        return _pos != start;
    }

    // Line of the next byte get() returns, counting from 1.
    std::int64_t line() const {
        return _line;
    }

    // False while get() is inside a multibyte UTF-8 sequence; text may only be cut where this is true.
    bool atCharBoundary() const {
        return _pending == 0;
    }

    const std::string& fileName() const {
        return _fileName;
    }

    // Raises the syntax error with the current line; the source position is the caller's.
    [[noreturn]] void fail(const char* sourcePath, int sourceLine, const std::string& message) const;

private:
    static constexpr std::array<bool, 256> plainText = plainTextTable();

    [[noreturn]] void fail(const std::string& message, int sourceLine) const;
    bool refill();
    int decode(unsigned char c);
    void skipByteOrderMark();

    OsFileReader& _reader;
    std::string _fileName;
    std::vector<unsigned char> _chunk;
    std::size_t _pos = 0;
    std::size_t _end = 0;
    bool _atEnd = false;
    bool _atFileStart = true;
    std::int64_t _line = 1;
    // Continuation bytes still expected in the current UTF-8 sequence, and the range the next one must fall in.
    int _pending = 0;
    unsigned char _low = 0x80;
    unsigned char _high = 0xBF;
};

} // namespace Kr
