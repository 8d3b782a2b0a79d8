// SPDX-License-Identifier: Apache-2.0
#include <Kr/InPaths.h>

#include <cstdlib>
#include <dlfcn.h>

namespace Kr {

namespace {
const std::string toolUiDirTag = "<ToolUiDir>";

OsFilePath libraryDirectory() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&InPaths::getResourcesDir), &info) && info.dli_fname)
        return OsFilePath(info.dli_fname).getDirectory();
    return OsFilePath(".");
}
} // namespace

OsFilePath InPaths::getResourcesDir() {
    if (const char* dir = std::getenv("KR_RESOURCES_DIR"); dir && *dir)
        return OsFilePath(dir);
    return libraryDirectory() / "resources";
}

OsFilePath InPaths::getToolUiDir() {
    return getResourcesDir() / "toolui";
}

std::string InPaths::expand(const std::string& fileName) {
    if (fileName.rfind(toolUiDirTag, 0) != 0)
        return fileName;
    std::string rest = fileName.substr(toolUiDirTag.size());
    while (!rest.empty() && (rest.front() == '/' || rest.front() == '\\'))
        rest.erase(0, 1);
    return (getToolUiDir() / rest).getText();
}

OsFilePath InPaths::getPreferencesDir() {
    if (const char* dir = std::getenv("KR_PREFERENCES_DIR"); dir && *dir)
        return OsFilePath(dir);
    const char* home = std::getenv("HOME");
    return OsFilePath(home && *home ? home : ".") / ".config" / "kr";
}

} // namespace Kr
