// SPDX-License-Identifier: Apache-2.0
#include "moviehostEntry.h"

#include "bridgeFailure.h"
#include "exitCodes.h"

#include <exception>
#include <string>

namespace bridge {

namespace {

struct JobContext {
    std::int32_t exitCode = exitCodes::success;
    SharedView sharedView;
    std::string jobFile;
    std::string mode;
};

ModeProcedure chooseMode(const std::string& mode, const ModeProcedures& modes) {
    if (mode == "r") {
        return modes.read;
    }
    if (mode == "w") {
        return modes.write;
    }
    if (mode == "q") {
        return modes.query;
    }
    return nullptr;
}

// Only modes w and q own their job file. Mode r names the user's movie there, and a
// mistyped mode ("R", "read", "") may name anything, so both leave the file alone and the
// text goes to standard error only.
void writeFailureToJobFile(const JobContext& job, const char* text) {
    if (job.jobFile.empty() || (job.mode != "w" && job.mode != "q")) {
        return;
    }
    if (std::FILE* file = std::fopen(job.jobFile.c_str(), "w")) {
        std::fprintf(file, "%s\n", text);
        std::fclose(file);
    }
}

void startUp(int argc, const char* const* argv, JobContext& job, MediaEngine& engine, Channel& channel,
             const ModeProcedures& modes) {
    if (argc != 6) {
        raiseFailure(job.exitCode, exitCodes::incorrectArgCount, "incorrect arg count");
    }
    job.mode = argv[1];
    const std::string pipeName = argv[2];
    const std::string requestEventName = argv[3];
    const std::string replyEventName = argv[4];
    job.jobFile = argv[5];

    if (const int result = engine.initialize(); result != 0) {
        raiseFailure(job.exitCode, exitCodes::engineInitializeFailed, withResult("InitializeQTML failed: ", result));
    }
    if (const int result = engine.enterMovies(); result != 0) {
        raiseFailure(job.exitCode, exitCodes::engineEnterFailed, withResult("EnterMovies failed: ", result));
    }
    channel.open(pipeName, requestEventName, replyEventName);

    const ModeProcedure procedure = chooseMode(job.mode, modes);
    if (procedure == nullptr) {
        raiseFailure(job.exitCode, exitCodes::unknownMode, "unknown mode");
    }
    procedure(job.exitCode, job.jobFile, engine, channel, job.sharedView);
}

} // namespace

std::int32_t runMoviehost(int argc, const char* const* argv, MediaEngine& engine, ChannelPlatform& platform,
                          std::FILE* errorOut, const ModeProcedures& modes) {
    JobContext job;
    Channel channel(platform, job.exitCode);
    bool failed = false;
    try {
        startUp(argc, argv, job, engine, channel, modes);
    } catch (const std::exception& failure) {
        failed = true;
        std::fprintf(errorOut, "exception: '%s'", failure.what());
        std::fflush(errorOut);
        writeFailureToJobFile(job, failure.what());
    } catch (...) {
        failed = true;
        std::fputs("unknown exception", errorOut);
        std::fflush(errorOut);
    }
    if (failed) {
        if (job.exitCode == exitCodes::success) {
            job.exitCode = exitCodes::failureWithoutCode;
        }
        platform.sleepMilliseconds(failureLingerMilliseconds);
    }

    channel.closeEvents();
    platform.unmapView(job.sharedView.address, job.sharedView.size);
    engine.exitMovies();
    engine.terminate();
    return job.exitCode;
}

} // namespace bridge
