// SPDX-License-Identifier: Apache-2.0
#include "media/ffmpegEngine.h"
#include "moviehostEntry.h"
#include "platform/posixChannelPlatform.h"

#include <csignal>

int main(int argc, char** argv) {
    // A host that dies takes the read ends of our standard streams with it; writing the
    // failure text there must not kill the bridge before it reports and exits with its code.
    std::signal(SIGPIPE, SIG_IGN);
    // A file size limit must fail the write that crosses it (and so the job, with its
    // code and text), not kill the bridge.
    std::signal(SIGXFSZ, SIG_IGN);
    bridge::FfmpegEngine engine;
    bridge::PosixChannelPlatform platform;
    // Linux keeps the low 8 bits; the host reads them back as a signed byte.
    return bridge::runMoviehost(argc, argv, engine, platform, stderr);
}
