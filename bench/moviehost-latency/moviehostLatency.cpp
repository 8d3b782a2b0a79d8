// SPDX-License-Identifier: Apache-2.0
// moviehostLatency MOVIEHOST [ROUNDS [trips]]
// Times ROUNDS round trips of one control word, in turns: through moviehost in mode q (the
// host writes the word, sets the request event, waits for the reply event), and through a
// bare echo process doing only sem_wait, recv and sem_post on the same kind of objects.
// Then times a whole codec query (process start to exit) against `ffmpeg -encoders`, the
// list a user would otherwise read, unless "trips" asks for the round trips alone.

#include "bridgeJob.h"
#include "codecQueryClient.h"
#include "media/codecList.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <semaphore.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace bridge;
using namespace bridge::client;
using Nanoseconds = std::chrono::nanoseconds;

namespace {

double medianMicroseconds(std::vector<Nanoseconds> samples) {
    std::sort(samples.begin(), samples.end());
    return static_cast<double>(samples[samples.size() / 2].count()) / 1000.0;
}

// The bare peer: a forked process that answers each word with the reply semaphore.
class BareEcho {
public:
    BareEcho() {
        const std::string base = "/krlat" + std::to_string(getpid());
        _request = sem_open((base + "-req").c_str(), O_CREAT | O_EXCL, 0600, 0);
        _reply = sem_open((base + "-rep").c_str(), O_CREAT | O_EXCL, 0600, 0);
        sem_unlink((base + "-req").c_str());
        sem_unlink((base + "-rep").c_str());
        int sockets[2];
        if (_request == SEM_FAILED || _reply == SEM_FAILED || socketpair(AF_UNIX, SOCK_STREAM, 0, sockets) != 0) {
            std::perror("bare channel");
            std::exit(1);
        }
        _echo = fork();
        if (_echo == 0) {
            close(sockets[0]);
            for (;;) {
                sem_wait(_request);
                std::int32_t word = 0;
                if (recv(sockets[1], &word, sizeof word, MSG_WAITALL) != sizeof word || word == endMarker) {
                    _exit(0);
                }
                sem_post(_reply);
            }
        }
        close(sockets[1]);
        _socket = sockets[0];
    }
    ~BareEcho() {
        const auto end = encodeControlWord(endMarker);
        send(_socket, end.data(), end.size(), 0);
        sem_post(_request);
        waitpid(_echo, nullptr, 0);
        close(_socket);
    }
    pid_t pid() const { return _echo; }
    void roundTrip() {
        const auto word = encodeControlWord(0);
        send(_socket, word.data(), word.size(), 0);
        sem_post(_request);
        sem_wait(_reply);
    }

private:
    sem_t* _request;
    sem_t* _reply;
    int _socket = -1;
    pid_t _echo = -1;
};

template <typename Job> double medianMillisecondsOf(int runs, Job job) {
    std::vector<Nanoseconds> samples;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        job();
        samples.push_back(Clock::now() - start);
    }
    return medianMicroseconds(samples) / 1000.0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: moviehostLatency MOVIEHOST [ROUNDS [trips]]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5000;
    try {
        const std::string jobFile = "/tmp/moviehost-latency-" + std::to_string(getpid()) + ".txt";
        std::vector<Nanoseconds> bridgeSamples;
        std::vector<Nanoseconds> bareSamples;
        double moviehostPeak = 0;
        double echoPeak = 0;
        {
            BridgeJob job("q", jobFile, BridgeJobOptions{argv[1], std::chrono::seconds(30)});
            job.receive<CodecListReply::size>();
            BareEcho bare;
            // The two kinds take turns round trip by round trip (A B A B ...), so a change
            // in the machine's load falls on both alike.
            for (int i = 0; i < rounds; ++i) {
                auto start = Clock::now();
                // The host's whole wait, as every client call makes it: the reply event
                // waited for in slices that also watch moviehost's process.
                job.sendControlWord(0);
                job.waitForReply();
                bridgeSamples.push_back(Clock::now() - start);
                start = Clock::now();
                bare.roundTrip();
                bareSamples.push_back(Clock::now() - start);
            }
            moviehostPeak = peakResidentMebibytes(job.process().pid());
            echoPeak = peakResidentMebibytes(bare.pid());
            job.sendControlWord(endMarker);
            if (const int code = job.waitForExit(); code != 0) {
                std::fprintf(stderr, "moviehost ended with exit code %d\n", code);
                return 1;
            }
        }
        const double bridge = medianMicroseconds(bridgeSamples);
        const double bare = medianMicroseconds(bareSamples);
        std::printf("control word round trip, median of %zu:\n", bridgeSamples.size());
        std::printf("  through moviehost (mode q):       %8.2f us\n", bridge);
        std::printf("  bare socket + semaphore echo:     %8.2f us\n", bare);
        std::printf("  ratio moviehost / bare:           %8.2f\n", bridge / bare);
        std::printf("  peak memory, moviehost / echo:    %8.1f / %.1f MiB\n", moviehostPeak, echoPeak);
        if (argc > 3 && std::string(argv[3]) == "trips") {
            return 0;
        }

        constexpr int runs = 15;
        std::size_t names = 0;
        const double query = medianMillisecondsOf(runs, [&] {
            names = queryCodecs(jobFile, BridgeJobOptions{argv[1], std::chrono::seconds(30)}).size();
        });
        const double ffmpeg =
            medianMillisecondsOf(runs, [] { return std::system("ffmpeg -hide_banner -encoders >/dev/null 2>&1"); });
        const double listing = medianMillisecondsOf(runs, [] { return listMovieEncoderNames(); });
        std::printf("codec query, median of %d whole runs:\n", runs);
        std::printf("  moviehost mode q (%zu names):     %8.2f ms\n", names, query);
        std::printf("  ffmpeg -encoders:                 %8.2f ms\n", ffmpeg);
        std::printf("  ratio moviehost / ffmpeg:         %8.2f\n", query / ffmpeg);
        std::printf("  of which listing and probing:     %8.2f ms\n", listing);
    } catch (const BridgeError& error) {
        std::fprintf(stderr, "moviehostLatency: %s\n", error.what());
        return 1;
    }
    return 0;
}
