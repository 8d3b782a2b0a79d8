// moviehostLatency MOVIEHOST [ROUNDS]
// Times ROUNDS round trips of one control word: through moviehost in mode q (the host
// writes the word, sets the request event, waits for the reply event), and through a
// bare echo process doing only sem_wait, recv and sem_post on the same kind of objects.

#include "bridgeJob.h"

#include <algorithm>
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

std::vector<Nanoseconds> throughMoviehost(const std::string& moviehost, int rounds) {
    const std::string jobFile = "/tmp/moviehost-latency-" + std::to_string(getpid()) + ".txt";
    BridgeJob job("q", jobFile, BridgeJobOptions{moviehost, std::chrono::seconds(30)});
    job.receive<CodecListReply::size>();
    std::vector<Nanoseconds> samples;
    samples.reserve(static_cast<std::size_t>(rounds));
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        job.sendControlWord(0);
        job.waitForReply();
        samples.push_back(Clock::now() - start);
    }
    job.sendControlWord(endMarker);
    if (const int code = job.waitForExit(); code != 0) {
        std::fprintf(stderr, "moviehost ended with exit code %d\n", code);
        std::exit(1);
    }
    unlink(jobFile.c_str());
    return samples;
}

std::vector<Nanoseconds> bareRoundTrips(int rounds) {
    const std::string base = "/krlat" + std::to_string(getpid());
    sem_t* request = sem_open((base + "-req").c_str(), O_CREAT | O_EXCL, 0600, 0);
    sem_t* reply = sem_open((base + "-rep").c_str(), O_CREAT | O_EXCL, 0600, 0);
    sem_unlink((base + "-req").c_str());
    sem_unlink((base + "-rep").c_str());
    int sockets[2];
    if (request == SEM_FAILED || reply == SEM_FAILED || socketpair(AF_UNIX, SOCK_STREAM, 0, sockets) != 0) {
        std::perror("bare channel");
        std::exit(1);
    }
    const pid_t echo = fork();
    if (echo == 0) {
        close(sockets[0]);
        for (;;) {
            sem_wait(request);
            std::int32_t word = 0;
            if (recv(sockets[1], &word, sizeof word, MSG_WAITALL) != sizeof word || word == endMarker) {
                _exit(0);
            }
            sem_post(reply);
        }
    }
    close(sockets[1]);
    std::vector<Nanoseconds> samples;
    samples.reserve(static_cast<std::size_t>(rounds));
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        const auto word = encodeControlWord(0);
        send(sockets[0], word.data(), word.size(), 0);
        sem_post(request);
        sem_wait(reply);
        samples.push_back(Clock::now() - start);
    }
    const auto end = encodeControlWord(endMarker);
    send(sockets[0], end.data(), end.size(), 0);
    sem_post(request);
    waitpid(echo, nullptr, 0);
    close(sockets[0]);
    return samples;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: moviehostLatency MOVIEHOST [ROUNDS]\n");
        return 2;
    }
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5000;
    try {
        const double bridge = medianMicroseconds(throughMoviehost(argv[1], rounds));
        const double bare = medianMicroseconds(bareRoundTrips(rounds));
        std::printf("control word round trip, median of %d:\n", rounds);
        std::printf("  through moviehost (mode q):       %8.2f us\n", bridge);
        std::printf("  bare socket + semaphore echo:     %8.2f us\n", bare);
        std::printf("  ratio moviehost / bare:           %8.2f\n", bridge / bare);
    } catch (const BridgeError& error) {
        std::fprintf(stderr, "moviehostLatency: %s\n", error.what());
        return 1;
    }
    return 0;
}
