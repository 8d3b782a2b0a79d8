// SPDX-License-Identifier: Apache-2.0
#pragma once

// Readable type names for exception texts: "PiMenu", "PiTypedValue<std::string>",
// not the mangled or fully expanded forms.

#include <Kr/KrExport.h>

#include <string>
#include <typeinfo>

namespace Kr {

// Demangles and shortens: drops the "Kr::" namespace and writes the standard string
// types as "std::string" / "std::wstring".
KR_EXPORT std::string typeNameOf(const std::type_info& type);
// The same for a mangled name as std::type_info::name() gives it.
KR_EXPORT std::string readableTypeName(const char* mangledName);

template <class T> std::string typeNameOf() {
    return typeNameOf(typeid(T));
}

} // namespace Kr
