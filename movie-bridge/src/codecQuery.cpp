// SPDX-License-Identifier: Apache-2.0
#include "codecQuery.h"

#include "bridgeFailure.h"
#include "exitCodes.h"
#include "modes.h"
#include "records.h"

#include <cstring>

namespace bridge {

std::string buildCodecListText(const std::vector<std::string>& typeNames) {
    std::string text;
    for (const auto& name : typeNames) {
        text += name;
        text += codecNameSeparator;
    }
    return text;
}

void serveCodecList(std::int32_t& exitCode, Channel& channel, SharedView& sharedView,
                    const std::optional<std::vector<std::string>>& typeNames) {
    if (!typeNames) {
        raiseFailure(exitCode, exitCodes::codecListFailed, "unable to get the codec list");
    }
    const std::string text = buildCodecListText(*typeNames);
    // An empty list gives an empty text, and a section of size 0 fails here with -7.
    const SectionMapping section = channel.createJobSection(text.size(), sharedView);
    std::memcpy(section.view, text.data(), text.size());

    channel.sendReply(encode(CodecListReply{static_cast<std::uint32_t>(text.size()), section.handle}));
    channel.signalHost();
    while (channel.receiveControlWord() != endMarker) {
        channel.signalHost();
    }
}

void runQueryMode(std::int32_t& exitCode, const std::string&, MediaEngine& engine, Channel& channel,
                  SharedView& sharedView) {
    serveCodecList(exitCode, channel, sharedView, engine.codecTypeNames());
}

} // namespace bridge
