#include "bridgeFailure.h"
#include "exitCodes.h"
#include "modes.h"

namespace bridge {

// Movie reading is not part of this build yet; the job fails as an unknown mode would.
void runReadMode(std::int32_t& exitCode, const std::string&, Channel&, SharedView&) {
    raiseFailure(exitCode, exitCodes::unknownMode, "unknown mode");
}

} // namespace bridge
