#pragma once
// Mode w over a replaceable engine, so that the job's order, codes and texts can be
// checked against a recording engine as well as with FFmpeg.

#include "channel.h"
#include "media/movieWriter.h"
#include "sharedView.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace bridge {

class WriteEngine {
public:
    virtual ~WriteEngine() = default;
    // Creates (or empties) the movie file; null with the engine result on failure.
    virtual std::unique_ptr<media::MovieWriter> createMovieFile(const std::string& path, int& result) = 0;
    // The codec type names the codec choice matches against; nullopt when there is no list.
    virtual std::optional<std::vector<std::string>> codecTypeNames() = 0;
};

// The whole job of mode w, from the first signal to the movie resource. gammaText is the
// value of ZEPH_QUICKTIME_ENCODING_GAMMA, null when it is not set.
void serveWriteJob(std::int32_t& exitCode, const std::string& jobFile, Channel& channel, SharedView& sharedView,
                   WriteEngine& engine, const char* gammaText);

} // namespace bridge
