// SPDX-License-Identifier: Apache-2.0
#include "encoderTrialCache.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswscale/swscale.h>
}

namespace bridge::media {

namespace {

std::filesystem::path cacheFolder() {
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') {
        return std::filesystem::path(xdg) / "moviehost";
    }
    if (const char* home = std::getenv("HOME"); home && *home == '/') {
        return std::filesystem::path(home) / ".cache" / "moviehost";
    }
    return {};
}

std::string buildKey() {
    struct stat program {};
    if (::stat("/proc/self/exe", &program) != 0) {
        return {};
    }
    const std::string key = std::to_string(avcodec_version()) + "/" + std::to_string(avformat_version()) + "/" +
                            std::to_string(swscale_version()) + "/" + std::to_string(avutil_version()) + "/" +
                            std::to_string(program.st_size) + "/" + std::to_string(program.st_mtim.tv_sec) + "." +
                            std::to_string(program.st_mtim.tv_nsec);
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016zx", std::hash<std::string>{}(key));
    return hex;
}

} // namespace

EncoderTrialCache EncoderTrialCache::load() {
    EncoderTrialCache cache;
    const std::filesystem::path folder = cacheFolder();
    const std::string key = buildKey();
    if (folder.empty() || key.empty()) {
        return cache;
    }
    cache._path = (folder / ("completed-encoder-trials-" + key)).string();
    std::ifstream file(cache._path);
    for (std::string name; file >> name;) {
        cache._completed.insert(name);
    }
    return cache;
}

void EncoderTrialCache::rememberCompleted(const std::string& encoderName) {
    _changed = _completed.insert(encoderName).second || _changed;
}

void EncoderTrialCache::save() const {
    if (!_changed || _path.empty()) {
        return;
    }
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(_path).parent_path(), error);
    const std::string partial = _path + "." + std::to_string(getpid());
    {
        std::ofstream file(partial, std::ios::trunc);
        for (const std::string& name : _completed) {
            file << name << '\n';
        }
        if (!file.flush()) {
            std::filesystem::remove(partial, error);
            return;
        }
    }
    std::filesystem::rename(partial, _path, error);
    if (error) {
        std::filesystem::remove(partial, error);
    }
}

} // namespace bridge::media
