// SPDX-License-Identifier: Apache-2.0
#pragma once
// Exit codes of moviehost. A failing step stores its code in the job's exit code and
// then raises its message (see raiseFailure).

#include <cstdint>

namespace bridge::exitCodes {

constexpr std::int32_t success = 0;
constexpr std::int32_t incorrectArgCount = -1;
constexpr std::int32_t pipeOpenFailed = -2;
constexpr std::int32_t eventOpenFailed = -3;
constexpr std::int32_t pipeWriteFailed = -4;
constexpr std::int32_t eventSetFailed = -5;
constexpr std::int32_t movieOpenFailed = -6;
constexpr std::int32_t mapFailed = -7;
constexpr std::int32_t waitFailed = -8;
constexpr std::int32_t unexpectedPipeContents = -9;
constexpr std::int32_t pipeReadFailed = -10;
constexpr std::int32_t engineInitializeFailed = -11;
constexpr std::int32_t engineEnterFailed = -12;
constexpr std::int32_t unknownMode = -20;
constexpr std::int32_t codecListFailed = -40;
constexpr std::int32_t mediaCreateFailed = -51;
constexpr std::int32_t compressionSessionFailed = -58;
constexpr std::int32_t encodeFrameFailed = -100;
constexpr std::int32_t addMediaSampleFailed = -101;

// Reserved: codes of the protocol's table that this engine never raises, kept so that no
// other failure takes a number hosts already know. They belong to steps of the QuickTime
// writer that FFmpeg has no counterpart for: a track and its media are made in one step,
// which fails as mediaCreateFailed; there are no media edits to begin, no graphics world,
// standard compression component or its settings, no media graphics mode, no sound
// description handle to size, and no separate session options object (the options go
// with the compression session, which fails as compressionSessionFailed).
constexpr std::int32_t trackCreateFailed = -50;
constexpr std::int32_t beginMediaEditsFailed = -52;
constexpr std::int32_t gworldCreateFailed = -53;
constexpr std::int32_t defaultComponentFailed = -54;
constexpr std::int32_t setScInfoFailed = -55;
constexpr std::int32_t graphicsModeFailed = -56;
constexpr std::int32_t soundDescriptionFailed = -57;
constexpr std::int32_t sessionOptionsFailed = -59;

// A failure raised by a step that stored no code (an exhausted allocation, a foreign
// exception) must not leave the process with 0 and look like success. This code is
// outside the table above and survives an 8-bit exit status.
constexpr std::int32_t failureWithoutCode = -90;

} // namespace bridge::exitCodes
