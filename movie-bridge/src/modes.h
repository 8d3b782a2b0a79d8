// SPDX-License-Identifier: Apache-2.0
#pragma once
// The three jobs of moviehost, one procedure per mode, called by the entry point once the
// pipe and both events are open.
//
// A mode procedure talks to the host only through the channel's primitives:
//   channel.receiveMessage(record) / receiveControlWord()  wait for the request event and
//                                                          read exactly one record;
//   channel.sendReply(record)                              write one reply record;
//   channel.signalHost()                                   set the reply event;
//   channel.createJobSection(size, sharedView)             create and map the job's shared
//                                                          section (-7 on failure) and leave
//                                                          its view for the entry point to unmap.
// The movie work goes through the engine (media/mediaEngine.h), never to a library
// directly. Records are encoded and decoded with records.h. Every failing step stores its
// negative code in exitCode and raises the message, with raiseFailure (bridgeFailure.h);
// primitives do so themselves. The procedure returns normally when the host sent its final -1.

#include "channel.h"
#include "media/mediaEngine.h"
#include "sharedView.h"

#include <cstdint>
#include <string>

namespace bridge {

using ModeProcedure = void (*)(std::int32_t& exitCode, const std::string& jobFile, MediaEngine& engine,
                               Channel& channel, SharedView& sharedView);

// Mode "r": jobFile is the movie to read.
void runReadMode(std::int32_t& exitCode, const std::string& jobFile, MediaEngine& engine, Channel& channel,
                 SharedView& sharedView);
// Mode "w": jobFile is the movie to create.
void runWriteMode(std::int32_t& exitCode, const std::string& jobFile, MediaEngine& engine, Channel& channel,
                  SharedView& sharedView);
// Mode "q": jobFile only receives a failure text.
void runQueryMode(std::int32_t& exitCode, const std::string& jobFile, MediaEngine& engine, Channel& channel,
                  SharedView& sharedView);

} // namespace bridge
