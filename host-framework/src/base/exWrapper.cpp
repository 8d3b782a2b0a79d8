// SPDX-License-Identifier: Apache-2.0
#include <Kr/Ex.h>
#include <Kr/ExTypeName.h>

#include <exception>
#include <new>

namespace Kr {

namespace {

// Enough for the exception object and its message once the rest of memory is gone.
constexpr std::size_t emergencyReserveSize = 64 * 1024;

} // namespace

ExWrapper::Functor::~Functor() = default;

OPtrRet<ExBase> ExWrapper::execute(Functor& functor, APtr<char>* reserve) {
    if (reserve && reserve->isNull())
        reserve->reset(new (std::nothrow) char[emergencyReserveSize]);
    try {
        functor();
        return nullptr;
    } catch (const ExBase& ex) {
        return OPtrRet<ExBase>(ex.clone());
    } catch (const std::bad_alloc& ex) {
        if (reserve)
            reserve->reset();
        return OPtrRet<ExBase>(new ExForeign("out of memory (" + typeNameOf(typeid(ex)) + ")"));
    } catch (const std::exception& ex) {
        return OPtrRet<ExBase>(new ExForeign(typeNameOf(typeid(ex)) + ": " + ex.what()));
    } catch (...) {
        return OPtrRet<ExBase>(new ExForeign("unknown exception"));
    }
}

} // namespace Kr
