// SPDX-License-Identifier: Apache-2.0
#pragma once
// Mode "q": the codec list text handed to the host through the shared section.

#include "channel.h"
#include "sharedView.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bridge {

constexpr char codecNameSeparator = '@';

// Each name followed by the separator, the last one too; names are not escaped.
std::string buildCodecListText(const std::vector<std::string>& typeNames);

// The whole job once the names are known (nullopt: no list, exit code -40): section of the
// text's length, CodecListReply, then every control word other than -1 answered with the
// reply event until -1.
void serveCodecList(std::int32_t& exitCode, Channel& channel, SharedView& sharedView,
                    const std::optional<std::vector<std::string>>& typeNames);

} // namespace bridge
