// SPDX-License-Identifier: Apache-2.0
#include <Kr/InContextAliasMgrBase.h>
#include <Kr/PimUtils.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <map>
#include <unistd.h>

namespace Kr {

namespace {

struct LoadedModule {
    void* handle = nullptr;
    std::vector<InPackageInit*> packages; // registered while the library was opened
};

std::map<std::string, LoadedModule>& loadedModules() {
    static auto* modules = new std::map<std::string, LoadedModule>;
    return *modules;
}

std::vector<std::string> splitPath(const char* list) {
    std::vector<std::string> parts;
    if (!list)
        return parts;
    std::string text = list;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(':', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string joinForMessage(const std::vector<std::string>& directories) {
    std::string text;
    for (const std::string& directory : directories)
        text += (text.empty() ? "" : ", ") + directory;
    return text.empty() ? "(no directory)" : text;
}

} // namespace

ExModuleLoad::ExModuleLoad(std::string text) : ExBase(std::move(text)) {}

ExBase* ExModuleLoad::clone() const {
    return new ExModuleLoad(*this);
}

OsFilePath PimUtils::getExecutableDirectory() {
    char buffer[4096];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return OsFilePath();
    return OsFilePath(std::string(buffer, static_cast<std::size_t>(length))).getDirectory();
}

std::vector<std::string> PimUtils::getSearchDirectories() {
    std::vector<std::string> directories = InContextAliasMgrBase::getPluginDirectories();
    OsFilePath executableDirectory = getExecutableDirectory();
    if (!executableDirectory.isEmpty())
        directories.push_back(executableDirectory.getText());
    for (const std::string& directory : splitPath(std::getenv("KR_PLUGIN_PATH")))
        directories.push_back(directory);
    return directories;
}

OsFilePath PimUtils::locate(const OsFilePath& path) {
    if (path.isEmpty())
        throw ExModuleLoad("cannot load a module without a file name");
    if (path.hasDirectory()) {
        if (!path.exists())
            throw ExModuleLoad("cannot load \"" + path.getText() + "\": " + std::strerror(ENOENT));
        return path;
    }
    std::vector<std::string> directories = getSearchDirectories();
    for (const std::string& directory : directories) {
        OsFilePath candidate = OsFilePath(directory) / path.getText();
        if (candidate.exists() && !candidate.isDirectory())
            return candidate;
    }
    throw ExModuleLoad("cannot load \"" + path.getText() + "\": file not found in " + joinForMessage(directories) +
                       " (searched: --kr-plugin-path, the program's directory, KR_PLUGIN_PATH)");
}

bool PimUtils::load(const OsFilePath& path, InInitMgr::InitType initType) {
    OsFilePath file = locate(path);
    InInitMgr& packages = InInitMgr::getInstance();
    auto& modules = loadedModules();

    auto known = modules.find(file.getText());
    if (known == modules.end()) {
        std::size_t before = packages.getRegisteredCount();
        ::dlerror();
        void* handle = ::dlopen(file.getText().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* reason = ::dlerror();
            throw ExModuleLoad("cannot load \"" + file.getText() + "\": " + (reason ? reason : "unknown reason"));
        }
        LoadedModule module{handle, packages.getRegisteredSince(before)};
        for (InPackageInit* package : module.packages)
            package->setLoadedByModuleLoader(true);
        known = modules.emplace(file.getText(), std::move(module)).first;
    }
    if (initType == InInitMgr::InitializeNow) {
        for (InPackageInit* package : known->second.packages)
            packages.initialize(*package);
    }
    return true;
}

bool PimUtils::unload(const OsFilePath& path) {
    auto& modules = loadedModules();
    auto known = modules.end();
    if (path.hasDirectory()) {
        known = modules.find(path.getText());
    } else {
        for (auto it = modules.begin(); it != modules.end(); ++it)
            if (OsFilePath(it->first).getFileName() == path.getText())
                known = it;
    }
    if (known == modules.end())
        return false;
    LoadedModule module = std::move(known->second);
    modules.erase(known);
    InInitMgr& packages = InInitMgr::getInstance();
    for (std::size_t i = module.packages.size(); i-- > 0;)
        packages.terminate(*module.packages[i]);
    if (::dlclose(module.handle) != 0) {
        const char* reason = ::dlerror();
        throw ExModuleLoad("cannot unload \"" + path.getText() + "\": " + (reason ? reason : "unknown reason"));
    }
    return true;
}

} // namespace Kr
