// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>
#include <Kr/OsFilePath.h>

#include <string>

namespace Kr {

// Where the framework finds its resources at run time: KR_RESOURCES_DIR when set, else the
// "resources" directory beside the framework's libraries.
class KR_EXPORT InPaths {
public:
    static OsFilePath getResourcesDir();
    // The tool description directory that "<ToolUiDir>" names.
    static OsFilePath getToolUiDir();
    // Replaces a leading "<ToolUiDir>" with that directory.
    static std::string expand(const std::string& fileName);
    // Where the framework keeps its preferences: KR_PREFERENCES_DIR when set, else
    // $HOME/.config/kr.
    static OsFilePath getPreferencesDir();
};

} // namespace Kr
