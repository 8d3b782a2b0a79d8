// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/CbHandler.h>
#include <Kr/KrExport.h>
#include <Kr/PiNodeEvent.h>
#include <Kr/PxNode.h>
#include <Kr/RC.h>

#include <string>
#include <utility>
#include <vector>

namespace Kr {

class PiNode;
class PiGraph;
class PiValue;
class PiViewer;
class PiEventHandler;
class PiWidget;

// A path of group nodes from the document's top level down to a node.
class KR_EXPORT PiPath : public RCBase<LkCounter<int>> {
public:
    explicit PiPath(std::vector<std::string> groups = {}) : _groups(std::move(groups)) {}
    ~PiPath() override;
    const std::vector<std::string>& getGroups() const { return _groups; }

private:
    std::vector<std::string> _groups;
};

// A path together with the document time at which a node is shown.
class KR_EXPORT PiTimePath : public PiPath {
public:
    explicit PiTimePath(double time = 0, std::vector<std::string> groups = {})
        : PiPath(std::move(groups)), _time(time) {}
    ~PiTimePath() override;
    double getTime() const { return _time; }

private:
    double _time;
};

// The controller of one node, made by the node's tool. The host owns it and destroys it
// through this base.
class KR_EXPORT PiNodeController {
public:
    PiNodeController();
    PiNodeController(const PiNodeController&) = delete;
    PiNodeController& operator=(const PiNodeController&) = delete;
    virtual ~PiNodeController();

    // Empty until the framework attaches the controller to its node.
    RCShdPtr<PiNode> getNode() const;
    // Called after the node has been restored from a saved document; recorded in no undo step.
    virtual void nodeLoaded();
    // Refuses, with an exception saying why, a value the node could not work with. Called for
    // each value a document load restores, before the document replaces the current one, so
    // that a document holding such a value is refused whole. By default every value is fine.
    virtual void validateValue(const PiValue& value) const;
    // Registers a node-event callback; without a node, the null-pointer exception naming PiNode.
    void addCallback(PiNodeEvent::Type type, CbHandler<const PiNodeEvent>& handler);
    void removeCallback(PiNodeEvent::Type type, CbHandler<const PiNodeEvent>& handler);

private:
    friend class PiGraph;
    friend class PiNode;
    PiNode* _node = nullptr;
};

class KR_EXPORT PiTopologyInterface : public virtual PiNodeController {
public:
    ~PiTopologyInterface() override;
};

// A controller that builds its node's processing side.
class KR_EXPORT PiToolTopologyInterface : public PiTopologyInterface {
public:
    // What createProcNodes works with: the processing nodes behind the node's inputs, and
    // where the node's outputs are published.
    class KR_EXPORT OutputPublisher {
    public:
        virtual ~OutputPublisher();
        // Must be called first, before any look-up or publication.
        virtual void begin() = 0;
        // The processing node feeding a single input; empty when unconnected. An unknown
        // input name is refused with an error.
        virtual PxStrongHndl<const PxNode> getInputNode(const std::string& inputName) = 0;
        // The processing nodes feeding the connected entries of a multi-valued input.
        virtual std::vector<PxStrongHndl<const PxNode>> getInputNodes(const std::string& inputName) = 0;
        // Publishes a node (possibly empty) as an output; an unknown output name is refused.
        virtual void publish(const std::string& outputName, const PxStrongHndl<const PxNode>& node) = 0;
    };

    ~PiToolTopologyInterface() override;
    // Called whenever the framework (re)creates the node's processing graph. The default
    // publishes nothing.
    virtual void createProcNodes(OutputPublisher& publisher);
};

// A controller that gives its node an event handler in viewers.
class KR_EXPORT PiEventHandlingInterface {
public:
    virtual ~PiEventHandlingInterface();
    // The default answers an empty pointer: no handler.
    virtual RCStrongPtr<PiEventHandler> createEventHandler(PiViewer& viewer, const RCShdPtr<PiNode>& node,
                                                           const RCShdPtr<PiPath>& path) const;
    // The host calls this one; by default it calls the const overload.
    virtual RCStrongPtr<PiEventHandler> createEventHandler(PiViewer& viewer, const RCShdPtr<PiNode>& node,
                                                           const RCShdPtr<PiPath>& path);
};

// A controller with an editor, described by a description file.
class KR_EXPORT PiUserInterface : public virtual PiNodeController {
public:
    ~PiUserInterface() override;
    // The description text; by default that of getXmlFileName().
    virtual std::string getXmlDescription() const;
    // By default empty: no editor.
    virtual std::string getXmlFileName() const;
    // The editor's per-node object, kept by the host for the editor's life; by default none.
    virtual RCShdPtr<RCBase<LkCounter<int>>> createInstanceData(const RCShdPtr<PiWidget>& widget,
                                                                const RCShdPtr<const PiTimePath>& timePath) const;
    // The host calls this one; by default it calls the const overload.
    virtual RCShdPtr<RCBase<LkCounter<int>>> createInstanceData(const RCShdPtr<PiWidget>& widget,
                                                                const RCShdPtr<const PiTimePath>& timePath);
};

// A controller whose node is drawn in the schematic.
class KR_EXPORT PiSchematicInterface : public virtual PiNodeController {
public:
    // Schematic layouts.
    enum Layout { Vertical = 0, Horizontal = 1, Free = 2 };

    ~PiSchematicInterface() override;
    virtual std::string getSchematicLabel() const;
    virtual bool hasCustomPicture() const;
    virtual bool canEdit() const;
    // The node's picture description for a layout; by default empty (the standard picture).
    virtual std::string getNodeXmlDescription(Layout layout);
    virtual void cacheNodeXmlDescription();

    // The text of a description file; "<ToolUiDir>" at its start names the framework's
    // tool description directory. A missing file is refused with an error naming it.
    static std::string readXmlFile(const std::string& fileName);

private:
    std::string _cachedDescription;
};

// A controller that reports the outcome of its processing.
class KR_EXPORT PiOutcomeInterface : public virtual PiNodeController {
public:
    ~PiOutcomeInterface() override;
    virtual std::string getOutcome() const;
};

} // namespace Kr
