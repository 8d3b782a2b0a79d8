#pragma once
// The verdicts of encoder trials, kept between runs in the user's cache folder, so that
// only the first codec query of a build on a machine pays for the trial encodes. They are
// keyed by the FFmpeg libraries' versions and by the running program's file (its size and
// time of change), so a new build or a new FFmpeg tries again. A cache that cannot be read
// or written only costs the trials.

#include <map>
#include <optional>
#include <string>

namespace bridge::media {

class EncoderTrialCache {
public:
    // The verdicts stored for this build, none when there are none (or no cache folder).
    static EncoderTrialCache load();

    std::optional<bool> find(const std::string& encoderName) const;
    void remember(const std::string& encoderName, bool completes);
    // Writes the verdicts if any was added, replacing the file whole.
    void save() const;

private:
    std::string _path;
    std::map<std::string, bool> _verdicts;
    bool _changed = false;
};

} // namespace bridge::media
