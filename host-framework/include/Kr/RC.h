// SPDX-License-Identifier: Apache-2.0
#pragma once

// Reference-counted pointers.
//
// RCShdPtr<T>: shared pointer whose count lives in the object (T derives from
// RCBase<LkCounter<int>>). RCStrongPtr<T>: shared pointer to any object, with a separate
// strong/weak count object RCSWCount<LkCounter<int>>; RCWeakPtr<T> observes it.
// Both: an empty pointer is isNull(); dereferencing it raises ExNullPtr naming the
// pointee type. A checked down-cast reads
//     RCShdPtr<PiContainer> container = widget.cast<PiContainer>();
// An empty pointer casts to an empty one; an object of another type raises ExCastFailed
// naming the actual and the target type. dynamicCast<U>() answers empty instead.

#include <Kr/ExTypeName.h>
#include <Kr/Lk.h>
#include <Kr/RCExUtil.h>

#include <cstddef>
#include <type_traits>
#include <utility>

namespace Kr {

template <class Counter> class RCBase {
public:
    RCBase() : _count(0) {}
    // A copy is a new object with no references of its own.
    RCBase(const RCBase&) : _count(0) {}
    RCBase& operator=(const RCBase&) { return *this; }
    virtual ~RCBase() = default;

    void addRef() const { _count.increment(); }
    // Deletes the object when the last reference goes.
    void release() const {
        if (_count.decrement() == 0)
            delete this;
    }
    auto getRefCount() const { return _count.get(); }

private:
    mutable Counter _count;
};

template <class T> class RCShdPtr {
public:
    using element_type = T;

    RCShdPtr() = default;
    RCShdPtr(std::nullptr_t) {}
    // Takes a reference on the object (which may already be shared).
    explicit RCShdPtr(T* object) : _object(object) { acquire(); }
    RCShdPtr(const RCShdPtr& other) : _object(other._object) { acquire(); }
    RCShdPtr(RCShdPtr&& other) noexcept : _object(std::exchange(other._object, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    RCShdPtr(const RCShdPtr<U>& other) : _object(other.get()) {
        acquire();
    }
    RCShdPtr& operator=(RCShdPtr other) noexcept {
        std::swap(_object, other._object);
        return *this;
    }
    ~RCShdPtr() { drop(); }

    bool isNull() const { return _object == nullptr; }
    explicit operator bool() const { return _object != nullptr; }
    T* get() const { return _object; }
    T* operator->() const { return &checked(); }
    T& operator*() const { return checked(); }
    void reset() { RCShdPtr().swap(*this); }
    void swap(RCShdPtr& other) noexcept { std::swap(_object, other._object); }

    template <class U> RCShdPtr<U> cast() const {
        if (!_object)
            return RCShdPtr<U>();
        U* target = dynamic_cast<U*>(_object);
        if (!target)
            RCExUtil::throwExCastFailed(typeNameOf(typeid(*_object)), typeNameOf<U>());
        return RCShdPtr<U>(target);
    }
    template <class U> RCShdPtr<U> dynamicCast() const { return RCShdPtr<U>(dynamic_cast<U*>(_object)); }

    template <class U> bool operator==(const RCShdPtr<U>& other) const { return _object == other.get(); }
    bool operator==(std::nullptr_t) const { return _object == nullptr; }

private:
    void acquire() const {
        if (_object)
            _object->addRef();
    }
    void drop() {
        if (_object)
            std::exchange(_object, nullptr)->release();
    }
    T& checked() const {
        if (!_object)
            RCExUtil::throwExNullPtr(typeNameOf<T>());
        return *_object;
    }

    T* _object = nullptr;
};

// Strong and weak counts of one object held by RCStrongPtr, and the way to delete it as
// the type it was created with. The object dies with the last strong reference, the count
// object with the last reference of either kind (all strong references together hold one
// weak reference).
template <class Counter> class RCSWCount {
public:
    using Disposer = void (*)(void*);

    RCSWCount(void* object, Disposer disposer) : _strong(1), _weak(1), _object(object), _disposer(disposer) {}
    RCSWCount(const RCSWCount&) = delete;
    RCSWCount& operator=(const RCSWCount&) = delete;

    void addStrong() { _strong.increment(); }
    bool addStrongIfAlive() { return _strong.incrementIfNotZero(); }
    void releaseStrong() {
        if (_strong.decrement() == 0) {
            _disposer(std::exchange(_object, nullptr));
            releaseWeak();
        }
    }
    void addWeak() { _weak.increment(); }
    void releaseWeak() {
        if (_weak.decrement() == 0)
            delete this;
    }
    auto getStrongCount() const { return _strong.get(); }

private:
    Counter _strong;
    Counter _weak;
    void* _object;
    Disposer _disposer;
};

template <class T> class RCWeakPtr;

template <class T> class RCStrongPtr {
public:
    using element_type = T;
    using Count = RCSWCount<LkCounter<int>>;

    RCStrongPtr() = default;
    RCStrongPtr(std::nullptr_t) {}
    // Takes ownership of a new object, with a fresh count object.
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    explicit RCStrongPtr(U* object)
        : _object(object),
          _count(object ? new Count((void*)object, [](void* p) { delete static_cast<U*>(p); }) : nullptr) {}
    RCStrongPtr(const RCStrongPtr& other) : _object(other._object), _count(other._count) { acquire(); }
    RCStrongPtr(RCStrongPtr&& other) noexcept
        : _object(std::exchange(other._object, nullptr)), _count(std::exchange(other._count, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    RCStrongPtr(const RCStrongPtr<U>& other) : _object(other.get()), _count(other.getCount()) {
        acquire();
    }
    RCStrongPtr& operator=(RCStrongPtr other) noexcept {
        swap(other);
        return *this;
    }
    ~RCStrongPtr() { drop(); }

    bool isNull() const { return _object == nullptr; }
    explicit operator bool() const { return _object != nullptr; }
    T* get() const { return _object; }
    T* operator->() const { return &checked(); }
    T& operator*() const { return checked(); }
    void reset() { RCStrongPtr().swap(*this); }
    void swap(RCStrongPtr& other) noexcept {
        std::swap(_object, other._object);
        std::swap(_count, other._count);
    }
    Count* getCount() const { return _count; }
    int getStrongCount() const { return _count ? _count->getStrongCount() : 0; }

    template <class U> RCStrongPtr<U> cast() const {
        if (!_object)
            return RCStrongPtr<U>();
        U* target = dynamic_cast<U*>(_object);
        if (!target)
            RCExUtil::throwExCastFailed(typeNameOf(typeid(*_object)), typeNameOf<U>());
        return RCStrongPtr<U>::shareWith(target, _count);
    }
    template <class U> RCStrongPtr<U> dynamicCast() const {
        U* target = dynamic_cast<U*>(_object);
        return target ? RCStrongPtr<U>::shareWith(target, _count) : RCStrongPtr<U>();
    }

    template <class U> bool operator==(const RCStrongPtr<U>& other) const { return _object == other.get(); }
    bool operator==(std::nullptr_t) const { return _object == nullptr; }

    // Another view of an object already counted by count (casts, conversions between handles).
    static RCStrongPtr shareWith(T* object, Count* count) {
        RCStrongPtr result = adopt(object, count);
        result.acquire();
        return result;
    }
    // Takes over a strong reference the caller already holds on count (a count object just
    // made, or one raised from a weak reference), so that nothing is added to it.
    static RCStrongPtr adopt(T* object, Count* count) {
        RCStrongPtr result;
        result._object = object;
        result._count = count;
        return result;
    }

private:
    void acquire() const {
        if (_count)
            _count->addStrong();
    }
    void drop() {
        _object = nullptr;
        if (_count)
            std::exchange(_count, nullptr)->releaseStrong();
    }
    T& checked() const {
        if (!_object)
            RCExUtil::throwExNullPtr(typeNameOf<T>());
        return *_object;
    }

    T* _object = nullptr;
    Count* _count = nullptr;
};

// Observes an object of RCStrongPtr without keeping it alive.
template <class T> class RCWeakPtr {
public:
    using Count = RCSWCount<LkCounter<int>>;

    RCWeakPtr() = default;
    RCWeakPtr(const RCStrongPtr<T>& strong) : _object(strong.get()), _count(strong.getCount()) { acquire(); }
    RCWeakPtr(const RCWeakPtr& other) : _object(other._object), _count(other._count) { acquire(); }
    RCWeakPtr& operator=(RCWeakPtr other) noexcept {
        std::swap(_object, other._object);
        std::swap(_count, other._count);
        return *this;
    }
    ~RCWeakPtr() {
        if (_count)
            _count->releaseWeak();
    }

    bool isExpired() const { return !_count || _count->getStrongCount() == 0; }
    // A strong pointer on the object, empty when it has died.
    RCStrongPtr<T> lock() const {
        if (_count && _count->addStrongIfAlive())
            return RCStrongPtr<T>::adopt(_object, _count);
        return RCStrongPtr<T>();
    }

private:
    void acquire() {
        if (_count)
            _count->addWeak();
    }

    T* _object = nullptr;
    Count* _count = nullptr;
};

} // namespace Kr
