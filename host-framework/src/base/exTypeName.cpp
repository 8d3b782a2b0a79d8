// SPDX-License-Identifier: Apache-2.0
#include <Kr/ExTypeName.h>

#include <cstdlib>
#include <cxxabi.h>
#include <memory>

namespace Kr {

namespace {

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

} // namespace

std::string typeNameOf(const std::type_info& type) {
    return readableTypeName(type.name());
}

std::string readableTypeName(const char* mangledName) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> demangled(abi::__cxa_demangle(mangledName, nullptr, nullptr, &status),
                                                          &std::free);
    std::string name = status == 0 && demangled ? demangled.get() : mangledName;
    replaceAll(name, "std::__cxx11::basic_string<char, std::char_traits<char>, std::allocator<char> >", "std::string");
    replaceAll(name, "std::__cxx11::basic_string<wchar_t, std::char_traits<wchar_t>, std::allocator<wchar_t> >",
               "std::wstring");
    replaceAll(name, "std::__cxx11::", "std::");
    replaceAll(name, "Kr::", "");
    replaceAll(name, " >", ">"); // written as in today's sources: PiTypedValue<std::string>
    return name;
}

} // namespace Kr
