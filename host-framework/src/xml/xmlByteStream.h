#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Kr {

class OsFileReader;

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
