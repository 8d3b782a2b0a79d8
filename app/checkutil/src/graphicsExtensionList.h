// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

// The report's extension block: the heading "Available OpenGL Extensions:" followed by the tokens,
// each line filled up to 80 characters. A token that does not fit starts a new line indented by
// four blanks; a line is longer than 80 characters only when a single token is. The block's
// closing empty line is not part of the result.
std::vector<std::string> wrapExtensionList(const std::vector<std::string>& tokens);
