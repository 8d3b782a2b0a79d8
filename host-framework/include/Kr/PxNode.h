// SPDX-License-Identifier: Apache-2.0
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
// operation that makes or converts a handle must run off the worker threads; the counting
// itself is RCStrongPtr's, on the count object the node keeps.
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
            _ptr = RCStrongPtr<T>::shareWith(node, base->getCount());
        } else {
            base->adopt(new PxCount(base, &PxHandles::dispose));
            _ptr = RCStrongPtr<T>::adopt(node, base->getCount());
        }
    }
    PxStrongHndl(const PxStrongHndl& other) {
        PxHandles::checkNotOnWorker(__LINE__);
        _ptr = other._ptr;
    }
    PxStrongHndl(PxStrongHndl&& other) noexcept = default;
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    PxStrongHndl(const PxStrongHndl<U>& other) {
        PxHandles::checkNotOnWorker(__LINE__);
        _ptr = other._ptr;
    }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    explicit PxStrongHndl(const PxNodePtr<U>& other) {
        PxHandles::checkNotOnWorker(__LINE__);
        _ptr = other._ptr;
    }
    PxStrongHndl& operator=(PxStrongHndl other) noexcept {
        swap(other);
        return *this;
    }

    bool isNull() const { return _ptr.isNull(); }
    explicit operator bool() const { return bool(_ptr); }
    T* get() const { return _ptr.get(); }
    T* operator->() const { return _ptr.operator->(); }
    T& operator*() const { return *_ptr; }
    PxCount* getCount() const { return _ptr.getCount(); }
    void reset() { _ptr.reset(); }
    void swap(PxStrongHndl& other) noexcept { _ptr.swap(other._ptr); }

    // Checked conversion to another facet of the same node (PxNode to PxImageProtocol and
    // back). An empty handle converts to an empty one; a node without that facet raises the
    // failed-cast exception.
    template <class U> PxStrongHndl<U> cast() const {
        PxHandles::checkNotOnWorker(__LINE__);
        return PxStrongHndl<U>(_ptr.template cast<U>());
    }
    template <class U> PxStrongHndl<U> dynamicCast() const {
        PxHandles::checkNotOnWorker(__LINE__);
        return PxStrongHndl<U>(_ptr.template dynamicCast<U>());
    }

    // Facets of one node are the same node, though their addresses differ.
    template <class U> bool operator==(const PxStrongHndl<U>& other) const {
        return PxHandles::nodeOf(get()) == PxHandles::nodeOf(other.get());
    }
    bool operator==(std::nullptr_t) const { return _ptr == nullptr; }

    static PxStrongHndl shareWith(T* object, PxCount* count) {
        return PxStrongHndl(RCStrongPtr<T>::shareWith(object, count));
    }

private:
    template <class> friend class PxStrongHndl;
    template <class> friend class PxNodePtr;

    explicit PxStrongHndl(RCStrongPtr<T>&& ptr) : _ptr(std::move(ptr)) {}

    RCStrongPtr<T> _ptr;
};

// A counted reference on a processing node, usable on any thread (image results are
// computed through these on the worker threads).
template <class T> class PxNodePtr {
public:
    PxNodePtr() = default;
    PxNodePtr(std::nullptr_t) {}
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    PxNodePtr(const PxStrongHndl<U>& handle) : _ptr(handle._ptr) {}
    // Declared so that a PxNodePtr has no move constructor: moving one copies it, and the
    // source keeps its reference.
    PxNodePtr(const PxNodePtr& other) = default;
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    PxNodePtr(const PxNodePtr<U>& other) : _ptr(other._ptr) {}
    PxNodePtr& operator=(PxNodePtr other) noexcept {
        _ptr.swap(other._ptr);
        return *this;
    }

    bool isNull() const { return _ptr.isNull(); }
    explicit operator bool() const { return bool(_ptr); }
    T* get() const { return _ptr.get(); }
    T* operator->() const { return _ptr.operator->(); }
    T& operator*() const { return *_ptr; }
    PxCount* getCount() const { return _ptr.getCount(); }
    void reset() { _ptr.reset(); }

    // The same node seen as another facet; empty when it has none.
    template <class U> PxNodePtr<U> dynamicCast() const { return PxNodePtr<U>(_ptr.template dynamicCast<U>()); }

    template <class U> void assign(U* object, PxCount* count) { _ptr = RCStrongPtr<T>::shareWith(object, count); }

private:
    template <class> friend class PxNodePtr;
    template <class> friend class PxStrongHndl;

    explicit PxNodePtr(RCStrongPtr<T>&& ptr) : _ptr(std::move(ptr)) {}

    RCStrongPtr<T> _ptr;
};

} // namespace Kr
