// SPDX-License-Identifier: Apache-2.0
#pragma once

// The LUT 1D editor's object: makes the editor's "Refresh", "Browse" and "Filename" widgets
// work. Made by the factory the module hands to the LUT 1D tool.

#include <Kr/RC.h>

namespace Kr {

class Lut1DInterface;
class PiValue;
class PiWidget;

// The factory: builds the editor object on the editor's root widget and returns it with one
// reference, which the caller owns.
RCShdPtr<RCBase<LkCounter<int>>> createLut1DUi(const RCShdPtr<PiWidget>& widget, const RCShdPtr<PiValue>& value,
                                               Lut1DInterface* lut1DInterface);

} // namespace Kr
