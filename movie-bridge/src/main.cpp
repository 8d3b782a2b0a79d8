#include "media/ffmpegEngine.h"
#include "moviehostEntry.h"
#include "platform/posixChannelPlatform.h"

int main(int argc, char** argv) {
    bridge::FfmpegEngine engine;
    bridge::PosixChannelPlatform platform;
    // Linux keeps the low 8 bits; the host reads them back as a signed byte.
    return bridge::runMoviehost(argc, argv, engine, platform, stderr);
}
