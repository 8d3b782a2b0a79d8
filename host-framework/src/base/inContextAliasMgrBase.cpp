// SPDX-License-Identifier: Apache-2.0
#include <Kr/Ex.h>
#include <Kr/InContextAliasMgrBase.h>

#include <cstring>

namespace Kr {

namespace {

struct CommandLine {
    std::vector<std::string> unbound;
    std::vector<std::string> pluginDirectories;
};

CommandLine& commandLine() {
    static CommandLine* instance = new CommandLine;
    return *instance;
}

const char pluginPathOption[] = "--kr-plugin-path";
const char buildInfoOption[] = "--kr-build-info";
const char frameworkPrefix[] = "--kr-";

} // namespace

std::vector<std::string> InContextAliasMgrBase::getUnboundArgs() {
    return commandLine().unbound;
}

std::vector<std::string> InContextAliasMgrBase::getPluginDirectories() {
    return commandLine().pluginDirectories;
}

bool InContextAliasMgrBase::takeFrameworkOptions(int& argc, char**& argv) {
    CommandLine parsed;
    bool listBuildInfo = false;
    int kept = 0;
    for (int i = 0; i < argc; ++i) {
        const char* word = argv[i];
        if (i == 0 || std::strncmp(word, frameworkPrefix, std::strlen(frameworkPrefix)) != 0) {
            parsed.unbound.emplace_back(word);
            argv[kept++] = argv[i];
            continue;
        }
        const std::size_t pathOptionLength = std::strlen(pluginPathOption);
        const char* directory = nullptr;
        if (std::strcmp(word, buildInfoOption) == 0) {
            listBuildInfo = true;
        } else if (std::strncmp(word, pluginPathOption, pathOptionLength) == 0 && word[pathOptionLength] == '=') {
            directory = word + pathOptionLength + 1;
        } else if (std::strcmp(word, pluginPathOption) == 0) {
            directory = i + 1 < argc ? argv[++i] : "";
        } else {
            throw ExBase(std::string("unknown framework option \"") + word + "\" (known: " + pluginPathOption +
                         "=DIR, " + buildInfoOption + ")");
        }
        if (directory) {
            // An empty directory would quietly mean the current one.
            if (*directory == '\0')
                throw ExBase(std::string("framework option ") + pluginPathOption + " needs a directory");
            parsed.pluginDirectories.emplace_back(directory);
        }
    }
    if (argc > 0)
        argv[kept] = nullptr;
    argc = kept;
    commandLine() = std::move(parsed);
    return listBuildInfo;
}

} // namespace Kr
