// SPDX-License-Identifier: Apache-2.0
#pragma once
// Where an FFmpeg result leaves the engine: running out of memory is raised, not answered
// (the error policy in mediaEngine.h), so that reading and writing report it alike.

#include <new>

extern "C" {
#include <libavutil/error.h>
}

namespace bridge::media {

// Returns result unchanged unless it is AVERROR(ENOMEM), which raises std::bad_alloc.
inline int raisingOutOfMemory(int result) {
    if (result == AVERROR(ENOMEM)) {
        throw std::bad_alloc();
    }
    return result;
}

} // namespace bridge::media
