// SPDX-License-Identifier: Apache-2.0
#pragma once

// The Notes tool: an image pass-through node carrying a text note.

namespace NotesTool {

// Hands the Notes tool description to the framework, which owns it from then on.
void registerTool();

} // namespace NotesTool
