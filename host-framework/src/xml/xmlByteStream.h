// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "xmlTranscoder.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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
// prepared the way XML wants it: converted to UTF-8 when the file is in another encoding,
// line ends normalised (CR LF and a lone CR become LF), lines counted, a byte-order mark
// dropped, and every byte checked to belong to a well-formed UTF-8 sequence of an allowed
// XML character. Doing this in one place means the parser never sees a byte it would have
// to question, whatever construct it is in.
//
// The replacement text of an internal entity is read through the same stream: pushEntity()
// makes get() continue in that text, and its end shows as one entityEnd before the bytes
// after the reference come, so that every construct notices markup that crosses the end.
class XmlByteStream {
public:
    static constexpr int endOfFile = -1;
    static constexpr int entityEnd = -2;
#ifdef KR_XML_SMALL_BUFFERS
    // The fuzzing build makes every construct straddle chunk ends.
    static constexpr std::size_t chunkSize = 7;
#else
    static constexpr std::size_t chunkSize = 64 * 1024;
#endif
    // Entities inside entities deeper than this are refused, as is expanding more than
    // expansionAllowance bytes plus expansionFactor times the bytes read from the file:
    // a document of nested references ("billion laughs") is stopped after a few megabytes.
    static constexpr std::size_t maxEntityDepth = 40;
    static constexpr std::uint64_t expansionAllowance = 8 * 1024 * 1024;
    static constexpr std::uint64_t expansionFactor = 10;

    XmlByteStream(OsFileReader& reader, const std::string& fileName);
    // Reads text in memory instead of a file; the text must outlive the stream.
    XmlByteStream(std::string_view text, const std::string& fileName);
    ~XmlByteStream();

    int get() {
        if (_pos == _end) {
            return next();
        }
        const unsigned char c = _data[_pos++];
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
        // Line ends in an entity's text are not lines of the file.
        const int lineStep = _entities.empty() ? 1 : 0;
        while (_pos < _end && plainText[_data[_pos]]) {
            _line += _data[_pos] == '\n' ? lineStep : 0;
            ++_pos;
        }
        out.append(reinterpret_cast<const char*>(_data) + start, _pos - start);
        return _pos != start;
    }

    // Line of the next byte get() returns, counting from 1; inside an entity, the line of its reference.
    std::int64_t line() const {
        return _line;
    }

    // False while get() is inside a multibyte UTF-8 sequence; text may only be cut where this is true.
    bool atCharBoundary() const {
        return _pending == 0;
    }

    // Continues reading in the text (which must outlive the reading) until its end; the
    // entity limits above are checked here.
    void pushEntity(const std::string& text);
    std::size_t entityDepth() const {
        return _entities.size();
    }

    // The XML declaration named the encoding: what follows it is read in that encoding. Raises
    // the syntax error when the name is unknown or contradicts the byte-order mark.
    void declareEncoding(const std::string& name);
    // The encoding the file was found in by its first bytes; empty for UTF-8.
    const std::string& detectedEncoding() const {
        return _detectedEncoding;
    }

    const std::string& fileName() const {
        return _fileName;
    }

    // Raises the syntax error with the current line; the source position is the caller's.
    [[noreturn]] void fail(const char* sourcePath, int sourceLine, const std::string& message) const;

private:
    static constexpr std::array<bool, 256> plainText = plainTextTable();

    struct SavedInput {
        const unsigned char* data;
        std::size_t pos;
        std::size_t end;
        std::int64_t line;
    };

    [[noreturn]] void fail(const std::string& message, int sourceLine) const;
    int next();
    bool refill();
    std::size_t readFile(unsigned char* buffer, std::size_t size);
    int decode(unsigned char c);
    void detectEncoding();
    void startTranscoding(const std::string& encoding);

    // The file, or null when the bytes come from _text.
    OsFileReader* _reader;
    std::string_view _text;
    std::string _fileName;
    std::vector<unsigned char> _chunk;
    const unsigned char* _data;
    std::size_t _pos = 0;
    std::size_t _end = 0;
    bool _atEnd = false;
    bool _atFileStart = true;
    std::int64_t _line = 1;
    // Continuation bytes still expected in the current UTF-8 sequence, the range the next one
    // must fall in, and whether the sequence began EF BF (U+FFFE and U+FFFF are not characters).
    int _pending = 0;
    unsigned char _low = 0x80;
    unsigned char _high = 0xBF;
    bool _afterEF = false;

    std::vector<SavedInput> _entities;
    std::uint64_t _fileBytes = 0;
    std::uint64_t _expandedBytes = 0;

    bool _hasUtf8Mark = false;
    std::string _detectedEncoding;
    std::unique_ptr<XmlTranscoder> _transcoder;
};

} // namespace Kr
