// SPDX-License-Identifier: Apache-2.0
#pragma once
// The encoders whose trial completed, kept between runs in the user's cache folder, so
// that only the first codec query of a build on a machine pays for the trial encodes.
// Failures are not kept: they come quickly (an encoder refuses to open), and a trial that
// failed once by chance must not drop an encoder for good. The names are
// keyed by the FFmpeg libraries' versions and by the running program's file (its size and
// time of change), so a new build or a new FFmpeg tries again. A cache that cannot be read
// or written only costs the trials.

#include <set>
#include <string>

namespace bridge::media {

class EncoderTrialCache {
public:
    // The names stored for this build, none when there are none (or no cache folder).
    static EncoderTrialCache load();

    bool completed(const std::string& encoderName) const { return _completed.count(encoderName) != 0; }
    void rememberCompleted(const std::string& encoderName);
    // Writes the names if any was added, replacing the file whole.
    void save() const;

private:
    std::string _path;
    std::set<std::string> _completed;
    bool _changed = false;
};

} // namespace bridge::media
