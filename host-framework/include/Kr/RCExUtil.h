// SPDX-License-Identifier: Apache-2.0
#pragma once

// The raising operations behind framework pointers. Type names are readable ones
// (typeNameOf<T>()), e.g. throwExNullPtr("PiMenu"), throwExCastFailed("PiWidget", "PiContainer").

#include <Kr/KrExport.h>

#include <string>

namespace Kr::RCExUtil {

[[noreturn]] KR_EXPORT void throwExNullPtr(const std::string& typeName);
[[noreturn]] KR_EXPORT void throwExCastFailed(const std::string& actualType, const std::string& targetType);

} // namespace Kr::RCExUtil
