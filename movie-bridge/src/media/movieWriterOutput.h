// SPDX-License-Identifier: Apache-2.0
#pragma once
// Files of a movie being written that must never be seen half done. The movie is written
// into a file without a name in the output's folder and takes the output's name in one
// step at the end, so that whatever ends the process, the output path holds the empty
// file made at the start, the complete movie, or the failure text. No other file is left
// in the folder, but for the link a process killed in the last step leaves, under the name
// outputLinkName gives, for its host to remove.

#include "outputLinkName.h"

#include <string>

namespace bridge::media {

// A file without a name in directory (O_TMPFILE). File systems without O_TMPFILE get a
// short-lived short name instead, removed at once. The descriptor, or -1 with errno set.
int openNamelessFile(const std::string& directory);

class UnnamedOutputFile {
public:
    UnnamedOutputFile() = default;
    UnnamedOutputFile(const UnnamedOutputFile&) = delete;
    UnnamedOutputFile& operator=(const UnnamedOutputFile&) = delete;
    // A file never put in place goes: an unnamed one with its descriptor, a named one
    // (the fallback below) is removed.
    ~UnnamedOutputFile();

    // Opens the file beside outputPath, which exists, taking its permission bits. Where the
    // file system refuses unnamed files it is a hidden ".mh" file in the same folder, which
    // only a process killed while writing can leave behind. 0 or a negative error code.
    int create(const std::string& outputPath);

    // A path that opens this same file, for code that takes paths.
    const std::string& path() const { return _path; }

    // Puts the file in place of the output, whole. 0 or a negative error code; the output is
    // left as it was on failure. The data is not forced to the disk first: the promise is
    // about processes that end, and a replacing rename already makes ext4 write the data
    // ahead of the name.
    int publish();

private:
    int _fd = -1;
    std::string _path;
    std::string _outputPath;
    bool _named = false;
};

} // namespace bridge::media
