// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "Kr/WsPixelFormat.h"

// The report's verdict on 32-bit RGBA with a depth buffer: asks for format 9 (with stencil) and,
// only when that is not available, format 8. A format the registry does not know raises the
// framework's null-pointer exception.
const char* describeDepthBufferSupport(const Kr::WsPixelFormatRegistry& registry);
