#pragma once

#include <Kr/Ex.h>
#include <Kr/KrExport.h>
#include <Kr/PxRequestMgr.h>
#include <Kr/RC.h>

#include <mutex>
#include <type_traits>
#include <utility>
#include <vector>

namespace Kr {

template <class T> class PxStrongHndl;
template <class T> class PxNodePtr;

using PxCount = RCSWCount<LkCounter<int>>;

// A node of the processing graph. Processing nodes are counted by PxStrongHndl (made only
// off the worker threads) and PxNodePtr (usable anywhere); the last reference calls
// destroy() and deletes the node. A node that registered children hears of their
// invalidations.
class KR_EXPORT PxNode {
public:
    // The construction parameters of a node; a fresh one for each new node.
    class KR_EXPORT Init {
    public:
        Init() = default;
    };

    explicit PxNode(const Init& init);
    PxNode(const PxNode&) = delete;
    PxNode& operator=(const PxNode&) = delete;
    virtual ~PxNode();

    // Completes a new node once a strong handle holds it: calls the node's init().
    static void init(const PxStrongHndl<PxNode>& handle);
    virtual void init();

    // After registerChild, the child's invalidations reach this node; registering a child
    // again changes nothing.
    void registerChild(const PxNodePtr<const PxNode>& child);
    // Forgets a registered child; a child that is not registered is ignored.
    void unregisterChild(const PxNodePtr<const PxNode>& child);

    // The node's results are stale: it and every node that registered it as a child (and
    // theirs, in turn) are invalidated.
    void invalidate() const;
    // Counts the invalidation and passes it on to the parents.
    virtual void propagateAndRemapInvalidation() const;
    // Invalidates and re-runs init().
    virtual void invalidateAndReinitialize();
    // Called when the last reference goes, before the node is deleted.
    virtual void destroy();

    unsigned getInvalidationCount() const;
    PxCount* getCount() const { return _count; }

private:
    template <class> friend class PxStrongHndl;
    void adopt(PxCount* count) { _count = count; }

    PxCount* _count = nullptr;
    mutable std::vector<PxNode*> _parents;
    mutable std::vector<const PxNode*> _children;
    mutable unsigned _invalidations = 0;
};

namespace PxHandles {
// Raises the assertion failure when called on a processing worker thread.
KR_EXPORT void checkNotOnWorker(int line);
KR_EXPORT void dispose(void* node);

template <class T> const PxNode* nodeOf(T* object) {
    if constexpr (std::is_base_of_v<PxNode, std::remove_const_t<T>>)
        return object;
    else
        return dynamic_cast<const PxNode*>(object);
}
} // namespace PxHandles

// A strong handle on a processing node or one of its facets (PxImageProtocol). Every
// operation that makes or converts a handle must run off the worker threads.
template <class T> class PxStrongHndl {
public:
    PxStrongHndl() = default;
    PxStrongHndl(std::nullptr_t) {}
    // Takes a new node into counting, with a fresh strong/weak count. On a worker thread the
    // node is destroyed again and the assertion failure raised.
    explicit PxStrongHndl(T* node) {
        if (!node)
            return;
        try {
            PxHandles::checkNotOnWorker(__LINE__);
        } catch (...) {
            delete node;
            throw;
        }
        PxNode* base = const_cast<PxNode*>(PxHandles::nodeOf(node));
        if (base->getCount()) {
            base->getCount()->addStrong();
        } else {
            base->adopt(new PxCount(base, &PxHandles::dispose));
        }
        _object = node;
        _count = base->getCount();
    }
    PxStrongHndl(const PxStrongHndl& other) : _object(other._object), _count(other._count) {
        PxHandles::checkNotOnWorker(__LINE__);
        acquire();
    }
    PxStrongHndl(PxStrongHndl&& other) noexcept
        : _object(std::exchange(other._object, nullptr)), _count(std::exchange(other._count, nullptr)) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    PxStrongHndl(const PxStrongHndl<U>& other) : _object(other.get()), _count(other.getCount()) {
        PxHandles::checkNotOnWorker(__LINE__);
        acquire();
    }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    explicit PxStrongHndl(const PxNodePtr<U>& other) : _object(other.get()), _count(other.getCount()) {
        PxHandles::checkNotOnWorker(__LINE__);
        acquire();
    }
    PxStrongHndl& operator=(PxStrongHndl other) noexcept {
        std::swap(_object, other._object);
        std::swap(_count, other._count);
        return *this;
    }
    ~PxStrongHndl() { drop(); }

    bool isNull() const { return _object == nullptr; }
    explicit operator bool() const { return _object != nullptr; }
    T* get() const { return _object; }
    T* operator->() const { return &checked(); }
    T& operator*() const { return checked(); }
    PxCount* getCount() const { return _count; }
    void reset() { PxStrongHndl().swap(*this); }
    void swap(PxStrongHndl& other) noexcept {
        std::swap(_object, other._object);
        std::swap(_count, other._count);
    }

    // Checked conversion to another facet of the same node (PxNode to PxImageProtocol and
    // back). An empty handle converts to an empty one; a node without that facet raises the
    // failed-cast exception.
    template <class U> PxStrongHndl<U> cast() const {
        PxHandles::checkNotOnWorker(__LINE__);
        if (!_object)
            return PxStrongHndl<U>();
        U* target = dynamic_cast<U*>(_object);
        if (!target)
            RCExUtil::throwExCastFailed(typeNameOf(typeid(*_object)), typeNameOf<U>());
        return PxStrongHndl<U>::shareWith(target, _count);
    }
    template <class U> PxStrongHndl<U> dynamicCast() const {
        PxHandles::checkNotOnWorker(__LINE__);
        U* target = _object ? dynamic_cast<U*>(_object) : nullptr;
        return target ? PxStrongHndl<U>::shareWith(target, _count) : PxStrongHndl<U>();
    }

    template <class U> bool operator==(const PxStrongHndl<U>& other) const {
        return PxHandles::nodeOf(_object) == PxHandles::nodeOf(other.get());
    }
    bool operator==(std::nullptr_t) const { return _object == nullptr; }

    static PxStrongHndl shareWith(T* object, PxCount* count) {
        PxStrongHndl result;
        result._object = object;
        result._count = count;
        result.acquire();
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
    PxCount* _count = nullptr;
};

// A counted reference on a processing node, usable on any thread (image results are
// computed through these on the worker threads).
template <class T> class PxNodePtr {
public:
    PxNodePtr() = default;
    PxNodePtr(std::nullptr_t) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    PxNodePtr(const PxStrongHndl<U>& handle) : _object(handle.get()), _count(handle.getCount()) {
        acquire();
    }
    PxNodePtr(const PxNodePtr& other) : _object(other._object), _count(other._count) { acquire(); }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    PxNodePtr(const PxNodePtr<U>& other) : _object(other.get()), _count(other.getCount()) {
        acquire();
    }
    PxNodePtr& operator=(PxNodePtr other) noexcept {
        std::swap(_object, other._object);
        std::swap(_count, other._count);
        return *this;
    }
    ~PxNodePtr() { reset(); }

    bool isNull() const { return _object == nullptr; }
    explicit operator bool() const { return _object != nullptr; }
    T* get() const { return _object; }
    T* operator->() const {
        if (!_object)
            RCExUtil::throwExNullPtr(typeNameOf<T>());
        return _object;
    }
    T& operator*() const { return *operator->(); }
    PxCount* getCount() const { return _count; }
    void reset() {
        _object = nullptr;
        if (_count)
            std::exchange(_count, nullptr)->releaseStrong();
    }

    // The same node seen as another facet; empty when it has none.
    template <class U> PxNodePtr<U> dynamicCast() const {
        PxNodePtr<U> result;
        if (U* target = _object ? dynamic_cast<U*>(_object) : nullptr)
            result.assign(target, _count);
        return result;
    }

    template <class U> void assign(U* object, PxCount* count) {
        reset();
        _object = object;
        _count = count;
        acquire();
    }

private:
    void acquire() const {
        if (_count)
            _count->addStrong();
    }

    T* _object = nullptr;
    PxCount* _count = nullptr;
};

} // namespace Kr
