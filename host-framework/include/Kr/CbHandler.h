// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace Kr {

// An event callback. A source (widget, node, browser) keeps only a weak link to each
// registered handler, so destroying the handler withdraws it from every source.
template <class E> class KR_EXPORT CbHandler {
public:
    CbHandler() : _link(std::make_shared<CbHandler*>(this)) {}
    CbHandler(const CbHandler&) : CbHandler() {}
    CbHandler& operator=(const CbHandler&) { return *this; }
    virtual ~CbHandler() = default;

    virtual void operator()(E& event) = 0;

    std::weak_ptr<CbHandler*> getLink() const { return _link; }

private:
    std::shared_ptr<CbHandler*> _link;
};

// A callback bound to one object and one of its member operations.
template <class T, class E> class KR_EXPORT CbMethod : public CbHandler<E> {
public:
    using Method = void (T::*)(E&);

    CbMethod(T& object, Method method) : _object(&object), _method(method) {}

    void operator()(E& event) override { (_object->*_method)(event); }

private:
    T* _object;
    Method _method;
};

// The handlers registered with one source for one kind of event, called in registration
// order. Handlers destroyed since registration are skipped and forgotten.
template <class E> class CbHandlerList {
public:
    void add(CbHandler<E>& handler) { _links.push_back(handler.getLink()); }

    void remove(CbHandler<E>& handler) {
        auto target = handler.getLink().lock();
        std::erase_if(_links, [&](const std::weak_ptr<CbHandler<E>*>& l) { return l.lock() == target; });
    }

    // Calls every live handler. A handler may register or withdraw handlers while it runs;
    // the call goes to the handlers registered when the event was raised.
    void invoke(E& event) {
        std::erase_if(_links, [](const std::weak_ptr<CbHandler<E>*>& l) { return l.expired(); });
        const auto snapshot = _links;
        for (const auto& link : snapshot) {
            if (auto handler = link.lock()) {
                (**handler)(event);
            }
        }
    }

    std::size_t size() const {
        return std::count_if(_links.begin(), _links.end(), [](const auto& l) { return !l.expired(); });
    }

private:
    std::vector<std::weak_ptr<CbHandler<E>*>> _links;
};

} // namespace Kr
