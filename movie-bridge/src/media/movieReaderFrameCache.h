// SPDX-License-Identifier: Apache-2.0
#pragma once
// Decoded pictures kept around the last seek, so that reading backwards through a group
// of pictures does not decode the group again from its key frame for every frame.
// Bounded in bytes; the pictures inserted first leave first.

#include <cstddef>
#include <deque>

struct AVFrame;

namespace bridge::media {

class FrameCache {
public:
    explicit FrameCache(std::size_t capacityBytes);
    ~FrameCache();
    FrameCache(const FrameCache&) = delete;
    FrameCache& operator=(const FrameCache&) = delete;

    // Takes over the frame's references (the frame is left empty) under a frame index,
    // replacing what the index held. Evicts the oldest pictures beyond the capacity, but
    // always keeps the newest one.
    void insert(std::size_t index, AVFrame* frame);
    // The picture under an index, or null; valid until the next insert or clear.
    const AVFrame* find(std::size_t index) const;
    void clear();

    std::size_t bytes() const { return _bytes; }
    std::size_t size() const { return _entries.size(); }

private:
    struct Entry {
        std::size_t index;
        AVFrame* frame;
        std::size_t bytes;
    };
    void evictOldest();

    std::size_t _capacityBytes;
    std::size_t _bytes = 0;
    std::deque<Entry> _entries;
};

} // namespace bridge::media
