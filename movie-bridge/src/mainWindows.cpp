// SPDX-License-Identifier: Apache-2.0
// moviehost on Windows: the Win32 channel, and the engine that generates its movies and
// records what it is asked to write, until a real media engine is linked here.
#include "media/fake/fakeEngine.h"
#include "moviehostEntry.h"
#include "platform/win32ChannelPlatform.h"

int main(int argc, char** argv) {
    bridge::media::fake::FakeEngine engine;
    bridge::Win32ChannelPlatform platform;
    return bridge::runMoviehost(argc, argv, engine, platform, stderr);
}
