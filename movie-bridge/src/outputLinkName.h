// SPDX-License-Identifier: Apache-2.0
#pragma once
// A written movie takes its output's place in two steps: a second name for the finished
// file beside the output (a link), then a rename of that name over the output. A writer
// killed between the two leaves the link; the name is fixed by the output's path, so that
// the host, which sees the writer die, and the next writer of the same output can remove
// it. moviehost and the host's client share this.

#include <string>

namespace bridge {

// The folder part of a path: "." for a bare name, "/" for a file at the root.
std::string directoryOf(const std::string& path);

// ".mh" and 16 hex digits of a hash of the output's resolved path, in its folder: short
// whatever the output's name, hidden, and the same in every process.
std::string outputLinkName(const std::string& resolvedOutputPath);

} // namespace bridge
