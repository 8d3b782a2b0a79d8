// SPDX-License-Identifier: Apache-2.0
#include "codecQueryClient.h"

namespace bridge::client {

std::vector<std::string> parseCodecListText(const std::string& text) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('@', start);
        if (end == std::string::npos) {
            throw BridgeError("codec list text does not end with '@': \"" + text + "\"");
        }
        names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::vector<std::string> queryCodecs(const std::string& jobFile, const BridgeJobOptions& options) {
    BridgeJob job("q", jobFile, options);
    std::string text;
    try {
        const auto reply = decodeCodecListReply(job.receive<CodecListReply::size>());
        const MappedSection section = job.mapSection(reply.sectionHandle, reply.sectionSize);
        text.assign(reinterpret_cast<const char*>(section.data()), section.size());
        job.sendControlWord(endMarker);
    } catch (const BridgeError&) {
        // The exit code tells more than "ended while waiting", when there is one.
        if (job.process().hasEnded()) {
            const int code = job.waitForExit();
            throw BridgeError("moviehost codec query failed with exit code " + std::to_string(code) + ": " +
                                  job.standardError(),
                              code, moviehostFailureText(job.standardError()));
        }
        throw;
    }
    if (const int code = job.waitForExit(); code != 0) {
        throw BridgeError("moviehost codec query ended with exit code " + std::to_string(code) + ": " +
                              job.standardError(),
                          code, moviehostFailureText(job.standardError()));
    }
    return parseCodecListText(text);
}

} // namespace bridge::client
