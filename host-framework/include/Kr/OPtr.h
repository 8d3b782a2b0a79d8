// SPDX-License-Identifier: Apache-2.0
#pragma once

// Sole-owner pointers. OPtr<T> owns one object; ownership passes when it is moved into a
// call (registerAppInfo(OPtr<InBuildInfo>(new AppBuildInfo))). OPtrRet<T> is what a
// function returns to hand ownership to its caller. APtr<T> owns an array (new T[n]).
// Dereferencing an empty owner raises the framework's null-pointer exception.

#include <Kr/ExTypeName.h>
#include <Kr/RCExUtil.h>

#include <cstddef>
#include <type_traits>
#include <utility>

namespace Kr {

template <class T> class OPtrRet;

template <class T> class OPtr {
public:
    OPtr() = default;
    explicit OPtr(T* object) : _object(object) {}
    OPtr(std::nullptr_t) {}
    OPtr(OPtr&& other) noexcept : _object(other.release()) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    OPtr(OPtr<U>&& other) noexcept : _object(other.release()) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    OPtr(OPtrRet<U>&& other) noexcept : _object(other.release()) {}
    OPtr(const OPtr&) = delete;
    OPtr& operator=(const OPtr&) = delete;
    OPtr& operator=(OPtr&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~OPtr() { delete _object; }

    bool isNull() const { return _object == nullptr; }
    explicit operator bool() const { return _object != nullptr; }
    T* get() const { return _object; }
    T* operator->() const { return &checked(); }
    T& operator*() const { return checked(); }

    // Gives up ownership without deleting.
    T* release() { return std::exchange(_object, nullptr); }
    void reset(T* object = nullptr) {
        T* old = std::exchange(_object, object);
        delete old;
    }

private:
    T& checked() const {
        if (!_object)
            RCExUtil::throwExNullPtr(typeNameOf<T>());
        return *_object;
    }

    T* _object = nullptr;
};

template <class T> class OPtrRet {
public:
    OPtrRet() = default;
    explicit OPtrRet(T* object) : _object(object) {}
    OPtrRet(std::nullptr_t) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    OPtrRet(OPtr<U>&& owner) : _object(owner.release()) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    OPtrRet(OPtrRet<U>&& other) : _object(other.release()) {}
    OPtrRet(OPtrRet&& other) noexcept : _object(other.release()) {}
    OPtrRet(const OPtrRet&) = delete;
    OPtrRet& operator=(const OPtrRet&) = delete;
    ~OPtrRet() { delete _object; }

    bool isNull() const { return _object == nullptr; }
    T* get() const { return _object; }
    T* release() { return std::exchange(_object, nullptr); }

private:
    T* _object = nullptr;
};

template <class T> class APtr {
public:
    APtr() = default;
    explicit APtr(T* array) : _array(array) {}
    APtr(APtr&& other) noexcept : _array(other.release()) {}
    APtr(const APtr&) = delete;
    APtr& operator=(const APtr&) = delete;
    APtr& operator=(APtr&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~APtr() { delete[] _array; }

    bool isNull() const { return _array == nullptr; }
    T* get() const { return _array; }
    T& operator[](std::size_t index) const { return _array[index]; }
    T* release() { return std::exchange(_array, nullptr); }
    void reset(T* array = nullptr) {
        T* old = std::exchange(_array, array);
        delete[] old;
    }

private:
    T* _array = nullptr;
};

} // namespace Kr
