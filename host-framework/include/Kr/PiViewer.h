// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/EvEvent.h>
#include <Kr/KrExport.h>
#include <Kr/PiNode.h>
#include <Kr/RC.h>
#include <Kr/UiWidget.h>

#include <string>
#include <vector>

namespace Kr {

class PiViewer;

// What an event handler is given: the event and the viewer it happened in.
class KR_EXPORT PiEventContext {
public:
    PiEventContext(EvEvent& event, PiViewer& viewer) : _event(&event), _viewer(&viewer) {}
    EvEvent& getEvent() const { return *_event; }
    PiViewer& getViewer() const { return *_viewer; }

private:
    EvEvent* _event;
    PiViewer* _viewer;
};

// A node's event handler in a viewer, made by its controller. The defaults draw nothing,
// are never modal and handle no event.
class KR_EXPORT PiEventHandler {
public:
    virtual ~PiEventHandler();
    virtual bool handleEvent(const PiEventContext& context) const;
    // The viewer calls this one; by default it calls the const overload.
    virtual bool handleEvent(const PiEventContext& context);
    virtual bool isModal() const;
    virtual bool isManipulating() const;
    virtual void selectionUpdate();
    virtual void scenePostDraw(const PiEventContext& context) const;
    virtual void scenePostDraw(const PiEventContext& context);
    virtual void windowPostDraw(const PiEventContext& context) const;
    virtual void windowPostDraw(const PiEventContext& context);
};

// A viewer showing nodes. Each node shown gets the event handler its controller makes
// (PiEventHandlingInterface); events reaching the viewer go to those handlers in the order
// the nodes were added, until one handles the event.
class KR_EXPORT PiViewer {
public:
    PiViewer();
    PiViewer(const PiViewer&) = delete;
    PiViewer& operator=(const PiViewer&) = delete;
    virtual ~PiViewer();

    void addNode(const RCShdPtr<PiNode>& node);
    // Releases the node's event handler; a node not shown is ignored.
    void removeNode(const RCShdPtr<PiNode>& node);
    // Releases every handler; a derived viewer calls it first thing in its destructor.
    void clear();
    std::vector<RCShdPtr<PiNode>> getNodes() const;
    bool hasEventHandler(const RCShdPtr<PiNode>& node) const;

    // Delivers an event to the node handlers; returns whether one handled it.
    bool deliver(EvEvent& event);

private:
    struct Shown {
        RCShdPtr<PiNode> node;
        RCStrongPtr<PiEventHandler> handler;
    };
    std::vector<Shown> _shown;
};

// The application's viewer window: a viewer that is also a window-system widget, so it
// receives hotkeys.
class KR_EXPORT UiViewer : public PiViewer, public UiWidget {
public:
    explicit UiViewer(std::string name);
    ~UiViewer() override;

    UiEventHandler* getEventHandler() override { return &_dispatcher; }
    // Presses a key while the viewer has the focus; returns whether a hotkey handler used it.
    bool pressKey(const std::string& key);

private:
    class Dispatcher : public UiEventHandler {
    public:
        explicit Dispatcher(PiViewer& viewer) : _viewer(viewer) {}
        bool handleEvent(EvEvent& event) override { return _viewer.deliver(event); }

    private:
        PiViewer& _viewer;
    };

    Dispatcher _dispatcher;
};

} // namespace Kr
