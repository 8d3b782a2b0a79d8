// SPDX-License-Identifier: Apache-2.0
// Lists moviehost's codecs through the installed client library: codecsConsumer MOVIEHOST JOBFILE.
#include <codecQueryClient.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: codecsConsumer MOVIEHOST JOBFILE\n");
        return 2;
    }
    bridge::client::BridgeJobOptions options;
    options.moviehostPath = argv[1];
    try {
        for (const std::string& name : bridge::client::queryCodecs(argv[2], options))
            std::printf("%s\n", name.c_str());
    } catch (const bridge::client::BridgeError& error) {
        std::fprintf(stderr, "codecsConsumer: %s\n", error.what());
        return 1;
    }
    return 0;
}
