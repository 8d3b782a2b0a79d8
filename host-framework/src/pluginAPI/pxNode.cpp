// SPDX-License-Identifier: Apache-2.0
#include <Kr/PxNode.h>

#include <algorithm>

namespace Kr {

namespace {
// Guards the parent and child links of all nodes: invalidations may come from any thread.
std::mutex& linksMutex() {
    static std::mutex mutex;
    return mutex;
}
} // namespace

PxNode::PxNode(const Init&) {}

PxNode::~PxNode() {
    std::lock_guard lock(linksMutex());
    for (const PxNode* child : _children)
        std::erase(child->_parents, this);
    for (PxNode* parent : _parents)
        std::erase(parent->_children, this);
}

void PxNode::init(const PxStrongHndl<PxNode>& handle) {
    handle->init();
}

void PxNode::init() {}

void PxNode::registerChild(const PxNodePtr<const PxNode>& child) {
    if (!child)
        return;
    std::lock_guard lock(linksMutex());
    // invalidateAndReinitialize() runs init() again, which registers the same children again;
    // a second link would deliver each of their invalidations twice.
    if (std::find(_children.begin(), _children.end(), child.get()) != _children.end())
        return;
    child->_parents.push_back(this);
    _children.push_back(child.get());
}

void PxNode::unregisterChild(const PxNodePtr<const PxNode>& child) {
    if (!child)
        return;
    std::lock_guard lock(linksMutex());
    auto it = std::find(_children.begin(), _children.end(), child.get());
    if (it == _children.end())
        return;
    _children.erase(it);
    auto parent = std::find(child->_parents.begin(), child->_parents.end(), this);
    if (parent != child->_parents.end())
        child->_parents.erase(parent);
}

void PxNode::invalidate() const {
    propagateAndRemapInvalidation();
}

void PxNode::propagateAndRemapInvalidation() const {
    std::vector<PxNode*> parents;
    {
        std::lock_guard lock(linksMutex());
        ++_invalidations;
        parents = _parents;
    }
    for (PxNode* parent : parents)
        parent->propagateAndRemapInvalidation();
}

void PxNode::invalidateAndReinitialize() {
    invalidate();
    init();
}

void PxNode::destroy() {}

unsigned PxNode::getInvalidationCount() const {
    std::lock_guard lock(linksMutex());
    return _invalidations;
}

namespace PxHandles {

void checkNotOnWorker(int line) {
    if (PxRequestMgr::getInstance().isWorkerThreadCurrent())
        Assertions::throwAssertionFailed(".\\pluginAPI/procAPI/src/pxNodeHndls.inline", line,
                                         "!PxRequestMgr::getInstance().isWorkerThreadCurrent()");
}

void dispose(void* node) {
    auto* pxNode = static_cast<PxNode*>(node);
    pxNode->destroy();
    delete pxNode;
}

} // namespace PxHandles

} // namespace Kr
