// SPDX-License-Identifier: Apache-2.0
#include "movieReaderFrameCache.h"

#include <algorithm>
#include <new>

extern "C" {
#include <libavutil/frame.h>
}

namespace bridge::media {

namespace {

std::size_t bytesHeldBy(const AVFrame* frame) {
    std::size_t bytes = 0;
    for (const AVBufferRef* buffer : frame->buf) {
        if (buffer != nullptr) {
            bytes += buffer->size;
        }
    }
    return bytes;
}

} // namespace

FrameCache::FrameCache(std::size_t capacityBytes) : _capacityBytes(capacityBytes) {}

FrameCache::~FrameCache() {
    clear();
}

void FrameCache::insert(std::size_t index, AVFrame* frame) {
    auto same = std::find_if(_entries.begin(), _entries.end(), [index](const Entry& e) { return e.index == index; });
    if (same != _entries.end()) {
        _bytes -= same->bytes;
        av_frame_free(&same->frame);
        _entries.erase(same);
    }
    AVFrame* kept = av_frame_alloc();
    if (kept == nullptr) {
        throw std::bad_alloc();
    }
    av_frame_move_ref(kept, frame);
    const std::size_t bytes = bytesHeldBy(kept);
    _entries.push_back({index, kept, bytes});
    _bytes += bytes;
    while (_bytes > _capacityBytes && _entries.size() > 1) {
        evictOldest();
    }
}

const AVFrame* FrameCache::find(std::size_t index) const {
    // Few entries (a group of pictures at most); a linear search from the newest is enough.
    for (auto it = _entries.rbegin(); it != _entries.rend(); ++it) {
        if (it->index == index) {
            return it->frame;
        }
    }
    return nullptr;
}

void FrameCache::clear() {
    while (!_entries.empty()) {
        evictOldest();
    }
}

void FrameCache::evictOldest() {
    Entry& oldest = _entries.front();
    _bytes -= oldest.bytes;
    av_frame_free(&oldest.frame);
    _entries.pop_front();
}

} // namespace bridge::media
