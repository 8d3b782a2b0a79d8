// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/CbHandler.h>
#include <Kr/KrExport.h>
#include <Kr/OPtr.h>
#include <Kr/PiNodeEvent.h>
#include <Kr/PiSocket.h>
#include <Kr/PiValue.h>
#include <Kr/RC.h>

#include <map>
#include <string>
#include <vector>

namespace Kr {

class PiGraph;
class PiGroupNode;
class PiNodeController;
class PiCommandStack;

// A node of a document: its sockets and values in declaration order, its controller (made
// by its tool) and the callbacks that receive its node events.
class KR_EXPORT PiNode : public RCBase<LkCounter<int>> {
public:
    ~PiNode() override;

    const std::string& getName() const { return _name; }
    // The tool that made the node; empty for groups and boundary nodes.
    const std::string& getToolName() const { return _toolName; }
    // Empty when the node has been removed from its document.
    RCShdPtr<PiGraph> getGraph() const;
    // The document's command stack; refused with an error when the node is in no document.
    PiCommandStack& getCommandStack() const;
    // The group the node lies in; empty at the top level.
    RCShdPtr<PiGroupNode> getGroup() const;
    PiNodeController* getController() const { return _controller.get(); }

    // Look-ups by name answer an empty pointer when there is no such socket or value.
    RCShdPtr<PiInput> getInput(const std::string& name) const;
    RCShdPtr<PiOutput> getOutput(const std::string& name) const;
    RCShdPtr<PiValue> getValue(const std::string& name) const;

    int getNbInputs() const { return static_cast<int>(_inputs.size()); }
    int getNbOutputs() const { return static_cast<int>(_outputs.size()); }
    int getNbValues() const { return static_cast<int>(_values.size()); }
    const RCShdPtr<PiInput>& getInputAt(int index) const { return _inputs.at(index); }
    const RCShdPtr<PiOutput>& getOutputAt(int index) const { return _outputs.at(index); }
    const RCShdPtr<PiValue>& getValueAt(int index) const { return _values.at(index); }
    // Inputs and outputs in the order the tool declared them.
    const std::vector<RCShdPtr<PiSocket>>& getSockets() const { return _sockets; }

    void addCallback(PiNodeEvent::Type type, CbHandler<const PiNodeEvent>& handler);
    void removeCallback(PiNodeEvent::Type type, CbHandler<const PiNodeEvent>& handler);
    // Delivers the event to the callbacks registered for its type, once each.
    void raise(const PiNodeEvent& event);

    // Declaration, used while the node is being built by its tool's description.
    RCShdPtr<PiInput> addInput(const std::string& name, int socketType, int cardinality);
    RCShdPtr<PiOutput> addOutput(const std::string& name, int socketType);
    RCShdPtr<PiValue> addValue(const std::string& name, int valueType);
    RCShdPtr<PiValue> addValue(const RCShdPtr<PiValue>& value);

protected:
    PiNode(std::string name, std::string toolName);

private:
    friend class PiGraph;
    void checkNewName(const std::string& name) const;

    std::string _name;
    std::string _toolName;
    PiGraph* _graph = nullptr;
    PiGroupNode* _group = nullptr;
    OPtr<PiNodeController> _controller;
    std::vector<RCShdPtr<PiSocket>> _sockets;
    std::vector<RCShdPtr<PiInput>> _inputs;
    std::vector<RCShdPtr<PiOutput>> _outputs;
    std::vector<RCShdPtr<PiValue>> _values;
    std::map<PiNodeEvent::Type, CbHandlerList<const PiNodeEvent>> _callbacks;
};

// A node that gathers other nodes. Closed, it stands for its contents in the schematic.
class KR_EXPORT PiGroupNode : public PiNode {
public:
    ~PiGroupNode() override;

    bool isOpen() const { return _open; }
    void setOpen(bool open) { _open = open; }

private:
    friend class PiGraph;
    explicit PiGroupNode(std::string name);
    bool _open = false;
};

// A node on the edge of a group that carries one connection across it: its input is fed
// from inside the group, its output feeds the outside.
class KR_EXPORT PiBoundaryNode : public PiNode {
public:
    ~PiBoundaryNode() override;

    // The boundary test: whether the node itself is visible, that is whether its group is
    // open. While it answers false the group stands for it.
    bool isGroupOpen() const;

private:
    friend class PiGraph;
    explicit PiBoundaryNode(std::string name);
};

} // namespace Kr
