// SPDX-License-Identifier: Apache-2.0
#pragma once

// Sequential reading of a file, for the framework's streaming readers (the XML parser).

#include <Kr/Ex.h>
#include <Kr/KrExport.h>
#include <Kr/OsFilePath.h>

#include <cstddef>

namespace Kr {

// A file could not be opened or read; getText() names the file, the operation and the
// system's reason: cannot open "/data/a.xml" for reading: No such file or directory
class KR_EXPORT OsExFileAccess : public ExBase {
public:
    // failure says what could not be done to which file; the system's reason is added.
    OsExFileAccess(const char* sourcePath, int sourceLine, const std::string& failure, const OsFilePath& path,
                   int systemError);
    ExBase* clone() const override;

    const OsFilePath& getPath() const { return _path; }
    int getSystemError() const { return _systemError; }

private:
    OsFilePath _path;
    int _systemError;
};

class KR_EXPORT OsFileReader {
public:
    // Opens the file; raises OsExFileAccess when it is missing, unreadable or a directory.
    // randomAccess false tells the system the file will be read from start to end once, so
    // it reads ahead generously.
    OsFileReader(const OsFilePath& path, bool randomAccess);
    OsFileReader(const OsFileReader&) = delete;
    OsFileReader& operator=(const OsFileReader&) = delete;
    ~OsFileReader();

    // Fills the buffer as far as the file allows and returns the number of bytes read; fewer
    // than asked only at the end of the file, 0 once it is reached. Raises OsExFileAccess
    // on a read error and when the reader is closed.
    std::size_t read(void* buffer, std::size_t size);

    // Releases the file; reading afterwards is an error. Closing twice is harmless.
    void close();
    bool isOpen() const { return _fd >= 0; }

    const OsFilePath& getPath() const { return _path; }

private:
    OsFilePath _path;
    int _fd = -1;
};

} // namespace Kr
