// SPDX-License-Identifier: Apache-2.0
#include <Kr/PiGraph.h>

#include <Kr/PiErrors.h>
#include <Kr/PiNodeController.h>
#include <Kr/PiToolDescriptor.h>
#include <Kr/PiToolProtocol.h>

#include "piXmlTree.h"

#include <algorithm>
#include <unordered_set>

namespace Kr {

namespace {

// The publisher given to a controller's createProcNodes: look-ups answer the processing
// nodes already built upstream, publications fill the node's outputs.
class GraphPublisher : public PiToolTopologyInterface::OutputPublisher {
public:
    GraphPublisher(PiGraph& graph, PiNode& node, std::map<std::string, PxStrongHndl<const PxNode>>& outputs)
        : _graph(graph), _node(node), _outputs(outputs) {}

    void begin() override { _begun = true; }

    PxStrongHndl<const PxNode> getInputNode(const std::string& inputName) override {
        RCShdPtr<PiInput> input = findInput(inputName);
        if (dynamic_cast<PiMultivaluedInput*>(input.get()))
            throwPiError("cannot look up the processing node of \"" + _node.getName() + "." + inputName +
                         "\": it is multi-valued (use getInputNodes)");
        RCShdPtr<const PiOutput> source = input->getSource();
        return source ? _graph.getProcNode(source) : PxStrongHndl<const PxNode>();
    }

    std::vector<PxStrongHndl<const PxNode>> getInputNodes(const std::string& inputName) override {
        RCShdPtr<PiInput> input = findInput(inputName);
        std::vector<PxStrongHndl<const PxNode>> nodes;
        if (auto* multi = dynamic_cast<PiMultivaluedInput*>(input.get())) {
            for (int i = 0; i < multi->getNbEntries(); ++i)
                if (auto source = multi->getEntry(i)->getSource())
                    nodes.push_back(_graph.getProcNode(source));
        } else if (auto source = input->getSource()) {
            nodes.push_back(_graph.getProcNode(source));
        }
        return nodes;
    }

    void publish(const std::string& outputName, const PxStrongHndl<const PxNode>& node) override {
        checkBegun("publish");
        if (!_node.getOutput(outputName))
            throwPiError("cannot publish \"" + outputName + "\": node \"" + _node.getName() +
                         "\" has no output of that name");
        _outputs[outputName] = node;
    }

private:
    RCShdPtr<PiInput> findInput(const std::string& inputName) {
        checkBegun("look up inputs");
        RCShdPtr<PiInput> input = _node.getInput(inputName);
        if (!input)
            throwPiError("cannot look up the processing node behind \"" + inputName + "\": node \"" + _node.getName() +
                         "\" has no input of that name");
        return input;
    }
    void checkBegun(const char* what) const {
        if (!_begun)
            throwPiError(std::string("the output publisher of node \"") + _node.getName() + "\" was asked to " + what +
                         " before begin()");
    }

    PiGraph& _graph;
    PiNode& _node;
    std::map<std::string, PxStrongHndl<const PxNode>>& _outputs;
    bool _begun = false;
};

} // namespace

PiGraph::PiGraph() = default;

PiGraph::~PiGraph() {
    _commandStack.clear();
    _procNodes.clear();
    // Nodes may outlive the document in the hands of their users; they leave it unconnected,
    // quietly: nothing may reach the document while it is being destroyed.
    auto unlink = [](PiInput& input) {
        if (auto source = std::exchange(input._source, RCShdPtr<const PiOutput>()))
            std::erase(const_cast<PiOutput&>(*source)._destinations, &input);
    };
    for (auto& node : _nodes) {
        for (auto& input : node->_inputs) {
            if (auto* multi = dynamic_cast<PiMultivaluedInput*>(input.get()))
                for (auto& entry : multi->_entries)
                    unlink(*entry);
            unlink(*input);
        }
        node->_graph = nullptr;
        node->_group = nullptr;
    }
}

void PiGraph::checkNameFree(const std::string& name) const {
    if (name.empty())
        throwPiError("cannot create a node without a name");
    if (findNode(name))
        throwPiError("cannot create node \"" + name + "\": the document already has a node of that name");
    // Names are written into documents as they are; one a document could not hold would make
    // every later save unreadable.
    if (!PiXml::isXmlText(name))
        throwPiError("cannot create node \"" + name +
                     "\": a name may hold neither control characters nor bytes that are not UTF-8");
}

RCShdPtr<PiNode> PiGraph::buildNode(const std::string& toolName, const std::string& nodeName) {
    PiToolProtocol* tool = PiToolRegistry::getInstance().findTool(toolName);
    if (!tool)
        throwPiError("cannot create a node of tool \"" + toolName + "\": no such tool is registered");
    std::string name = nodeName;
    for (int i = 1; name.empty(); ++i)
        if (!findNode(toolName + std::to_string(i)))
            name = toolName + std::to_string(i);
    checkNameFree(name);

    class ToolNode : public PiNode {
    public:
        ToolNode(std::string name, std::string toolName) : PiNode(std::move(name), std::move(toolName)) {}
    };
    RCShdPtr<PiNode> node(new ToolNode(name, toolName));
    PiToolDescriptor descriptor;
    tool->describe(descriptor);
    for (const auto& d : descriptor.getDeclarations()) {
        switch (d.kind) {
        case PiToolDescriptor::Input:
            node->addInput(d.name, d.type, d.cardinality);
            break;
        case PiToolDescriptor::Output:
            node->addOutput(d.name, d.type);
            break;
        case PiToolDescriptor::Value: {
            RCShdPtr<PiValue> value = node->addValue(d.name, d.type);
            if (!d.defaultText.empty()) {
                value->fromText(d.defaultText);
                value->makeCurrentDefault();
            }
            break;
        }
        case PiToolDescriptor::Masking:
            break;
        }
    }
    node->_controller = OPtr<PiNodeController>(tool->createController());
    if (node->_controller)
        node->_controller->_node = node.get();
    return node;
}

void PiGraph::insertNode(const RCShdPtr<PiNode>& node, std::size_t position) {
    node->_graph = this;
    _nodes.insert(_nodes.begin() + std::min(position, _nodes.size()), node);
    _nodesByName[node->getName()] = node.get();
}

void PiGraph::eraseNode(const RCShdPtr<PiNode>& node) {
    dropProcNodes(*node);
    _procNodes.erase(node.get());
    std::erase(_nodes, node);
    if (auto it = _nodesByName.find(node->getName()); it != _nodesByName.end() && it->second == node.get())
        _nodesByName.erase(it);
    node->_graph = nullptr;
}

RCShdPtr<PiNode> PiGraph::createNode(const std::string& toolName, const std::string& nodeName) {
    RCShdPtr<PiNode> node = buildNode(toolName, nodeName);
    const std::size_t position = _nodes.size();
    insertNode(node, position);
    PiGraph* self = this; // the history belongs to the document, which outlives it
    _commandStack.record(
        "Create " + node->getName(), [self, node] { self->eraseNode(node); },
        [self, node, position] { self->insertNode(node, position); });
    return node;
}

RCShdPtr<PiGroupNode> PiGraph::createGroup(const std::string& name) {
    checkNameFree(name);
    RCShdPtr<PiGroupNode> group(new PiGroupNode(name));
    const std::size_t position = _nodes.size();
    insertNode(group, position);
    PiGraph* self = this; // the history belongs to the document, which outlives it
    _commandStack.record(
        "Create " + name, [self, group] { self->eraseNode(group); },
        [self, group, position] { self->insertNode(group, position); });
    return group;
}

RCShdPtr<PiBoundaryNode> PiGraph::createBoundary(const RCShdPtr<PiGroupNode>& group, const std::string& name,
                                                 const std::string& outputName) {
    checkNameFree(name);
    if (group && group->getGraph().get() != this)
        throwPiError("cannot create boundary node \"" + name + "\": its group is not in this document");
    RCShdPtr<PiBoundaryNode> boundary(new PiBoundaryNode(name));
    boundary->addInput("Input", PiSocketType::image, PiCardinality::single);
    boundary->addOutput(outputName, PiSocketType::image);
    boundary->_group = group.get();
    const std::size_t position = _nodes.size();
    insertNode(boundary, position);
    PiGraph* self = this; // the history belongs to the document, which outlives it
    _commandStack.record(
        "Create " + name, [self, boundary] { self->eraseNode(boundary); },
        [self, boundary, position] { self->insertNode(boundary, position); });
    return boundary;
}

void PiGraph::setGroup(const RCShdPtr<PiNode>& node, const RCShdPtr<PiGroupNode>& group) {
    if (node->getGraph().get() != this || (group && group->getGraph().get() != this))
        throwPiError("cannot put node \"" + node->getName() + "\" into a group: not both in this document");
    PiGroupNode* before = node->_group;
    PiGroupNode* after = group.get();
    if (before == after)
        return;
    for (const PiNode* outer = after; outer; outer = outer->_group)
        if (outer == node.get())
            throwPiError("cannot put group \"" + node->getName() + "\" into \"" + group->getName() +
                         "\": that group lies inside it");
    node->_group = after;
    RCShdPtr<PiGroupNode> keepBefore(before), keepAfter(after);
    _commandStack.record(
        "Group " + node->getName(), [node, keepBefore] { node->_group = keepBefore.get(); },
        [node, keepAfter] { node->_group = keepAfter.get(); });
}

bool PiGraph::liesIn(const PiNode& node, const PiNode& group) {
    for (const PiNode* outer = node._group; outer; outer = outer->_group)
        if (outer == &group)
            return true;
    return false;
}

void PiGraph::removeNode(const RCShdPtr<PiNode>& node) {
    if (!node || node->getGraph().get() != this)
        throwPiError("cannot remove node \"" + (node ? node->getName() : std::string("(none)")) +
                     "\": it is not in this document");
    // A group goes with everything inside it, nested groups and boundary nodes included, as a
    // closed group stands for its contents: members left behind would name a group that is no
    // longer there. Each node is remembered with its place in the document.
    std::vector<std::pair<RCShdPtr<PiNode>, std::size_t>> removed;
    for (std::size_t i = 0; i < _nodes.size(); ++i)
        if (_nodes[i] == node || liesIn(*_nodes[i], *node))
            removed.emplace_back(_nodes[i], i);
    auto isRemoved = [&](const RCShdPtr<PiNode>& candidate) {
        return std::any_of(removed.begin(), removed.end(), [&](const auto& entry) { return entry.first == candidate; });
    };

    struct Link {
        RCShdPtr<PiInput> input;
        RCShdPtr<const PiOutput> output;
        RCShdPtr<PiMultivaluedInput> multi;
        int index;
    };
    std::vector<Link> links;
    for (const auto& [member, position] : removed) {
        // Connections to nodes that stay; those between removed nodes are taken from the inputs.
        for (auto& output : member->_outputs)
            for (auto& destination : output->getDestinations()) {
                RCShdPtr<PiNode> owner = destination->getNode();
                if (owner && isRemoved(owner))
                    continue;
                RCShdPtr<PiMultivaluedInput> multi;
                int index = -1;
                if (owner)
                    if (auto parent = owner->getInput(destination->getName()).dynamicCast<PiMultivaluedInput>()) {
                        multi = parent;
                        index = parent->indexOf(*destination);
                    }
                links.push_back({destination, output, multi, index});
            }
        for (auto& input : member->_inputs) {
            if (auto* multi = dynamic_cast<PiMultivaluedInput*>(input.get())) {
                for (auto& entry : multi->_entries)
                    if (entry->getSource())
                        links.push_back({entry, entry->getSource(), {}, -1});
            } else if (input->getSource()) {
                links.push_back({input, input->getSource(), {}, -1});
            }
        }
    }
    // Entries of multi-valued inputs fed by a removed node go with it, so that every entry
    // keeps a source; they are taken out from the last index down and put back from the first up.
    std::sort(links.begin(), links.end(), [](const Link& a, const Link& b) {
        return std::make_pair(a.multi.get(), a.index) < std::make_pair(b.multi.get(), b.index);
    });
    auto remove = [removed, links](PiGraph& graph) {
        for (auto it = links.rbegin(); it != links.rend(); ++it) {
            if (it->multi)
                it->multi->eraseEntry(it->input);
            else
                graph.setSource(*it->input, {});
        }
        for (const auto& entry : removed)
            graph.eraseNode(entry.first);
    };
    // Put back from the first place up, so that each lands where it was.
    auto restore = [removed, links](PiGraph& graph) {
        for (const auto& [member, position] : removed)
            graph.insertNode(member, position);
        for (const auto& link : links) {
            if (link.multi)
                link.multi->insertEntry(link.index, link.input, link.output);
            else
                graph.setSource(*link.input, link.output);
        }
    };
    remove(*this);
    PiGraph* self = this; // the history belongs to the document, which outlives it
    _commandStack.record(
        "Remove " + node->getName(), [self, restore] { restore(*self); }, [self, remove] { remove(*self); });
}

RCShdPtr<PiNode> PiGraph::findNode(const std::string& name) const {
    auto it = _nodesByName.find(name);
    return it == _nodesByName.end() ? RCShdPtr<PiNode>() : RCShdPtr<PiNode>(it->second);
}

namespace {

// Calls visit with the node feeding each connected input and entry of node.
template <class Visit> void forEachSourceNode(const PiNode& node, const Visit& visit) {
    auto visitSource = [&](const PiInput& input) {
        if (auto source = input.getSource())
            if (auto sourceNode = source->getNode())
                visit(*sourceNode);
    };
    for (int i = 0; i < node.getNbInputs(); ++i) {
        const auto& input = node.getInputAt(i);
        if (auto* multi = dynamic_cast<const PiMultivaluedInput*>(input.get())) {
            for (int e = 0; e < multi->getNbEntries(); ++e)
                visitSource(*multi->getEntry(e));
        } else {
            visitSource(*input);
        }
    }
}

} // namespace

bool PiGraph::dependsOn(const PiNode& node, const PiNode& upstream) const {
    // Walked with a stack of its own, each node once: chains may be long and diamonds many.
    std::vector<const PiNode*> pending{&node};
    std::unordered_set<const PiNode*> seen{&node};
    while (!pending.empty()) {
        const PiNode* current = pending.back();
        pending.pop_back();
        if (current == &upstream)
            return true;
        forEachSourceNode(*current, [&](const PiNode& source) {
            if (seen.insert(&source).second)
                pending.push_back(&source);
        });
    }
    return false;
}

const PiNode* PiGraph::findNodeOnCycle() const {
    // Nodes are taken off, sources first (Kahn); those that never come free lie on a cycle or
    // downstream of one.
    std::unordered_map<const PiNode*, std::size_t> unresolved;
    std::unordered_map<const PiNode*, std::vector<const PiNode*>> downstream;
    for (const auto& node : _nodes) {
        unresolved[node.get()];
        forEachSourceNode(*node, [&](const PiNode& source) {
            ++unresolved[node.get()];
            downstream[&source].push_back(node.get());
        });
    }
    std::vector<const PiNode*> free;
    for (const auto& [node, count] : unresolved)
        if (count == 0)
            free.push_back(node);
    std::size_t taken = 0;
    while (!free.empty()) {
        const PiNode* node = free.back();
        free.pop_back();
        ++taken;
        for (const PiNode* next : downstream[node])
            if (--unresolved[next] == 0)
                free.push_back(next);
    }
    if (taken == _nodes.size())
        return nullptr;
    // Every node left waits on a source that is left too: following such sources from the
    // first one in document order comes round to a node on a cycle.
    const PiNode* node = nullptr;
    for (const auto& candidate : _nodes)
        if (!node && unresolved[candidate.get()] != 0)
            node = candidate.get();
    std::unordered_set<const PiNode*> visited;
    while (visited.insert(node).second) {
        const PiNode* next = nullptr;
        forEachSourceNode(*node, [&](const PiNode& source) {
            if (!next && unresolved[&source] != 0)
                next = &source;
        });
        node = next;
    }
    return node;
}

void PiGraph::checkConnection(const PiInput& input, const PiOutput& output) const {
    RCShdPtr<PiNode> inputNode = input.getNode();
    RCShdPtr<PiNode> outputNode = output.getNode();
    const std::string what = "cannot connect \"" + (outputNode ? outputNode->getName() : std::string("?")) + "." +
                             output.getName() + "\" to \"" + inputNode->getName() + "." + input.getName() + "\": ";
    if (!outputNode || outputNode->getGraph().get() != this)
        throwPiError(what + "the output's node is not in the same document");
    if (output.getSocketType() != input.getSocketType())
        throwPiError(what + "socket types differ (" + std::to_string(output.getSocketType()) + " and " +
                     std::to_string(input.getSocketType()) + ")");
    if (!_cycleCheckDeferred && dependsOn(*outputNode, *inputNode))
        throwPiError(what + "the connection would make a cycle");
}

void PiGraph::setSource(PiInput& input, const RCShdPtr<const PiOutput>& output) {
    if (input._source == output)
        return;
    RCShdPtr<PiNode> inputNode = input.getNode();
    if (RCShdPtr<const PiOutput> before = std::exchange(input._source, RCShdPtr<const PiOutput>())) {
        std::erase(const_cast<PiOutput&>(*before)._destinations, &input);
        if (inputNode) {
            nodeChanged(*inputNode);
            inputNode->raise(PiNodeEvent(PiNodeEvent::SocketDisconnected, *inputNode, input.getName()));
        }
        if (auto sourceNode = before->getNode(); sourceNode && sourceNode != inputNode)
            sourceNode->raise(PiNodeEvent(PiNodeEvent::SocketDisconnected, *sourceNode, before->getName()));
    }
    if (output) {
        input._source = output;
        const_cast<PiOutput&>(*output)._destinations.push_back(&input);
        if (inputNode) {
            nodeChanged(*inputNode);
            inputNode->raise(PiNodeEvent(PiNodeEvent::SocketConnected, *inputNode, input.getName()));
        }
        if (auto sourceNode = output->getNode(); sourceNode && sourceNode != inputNode)
            sourceNode->raise(PiNodeEvent(PiNodeEvent::SocketConnected, *sourceNode, output->getName()));
    }
}

void PiGraph::nodeChanged(PiNode& node) {
    if (node._graph != this)
        return;
    dropProcNodes(node);
}

void PiGraph::dropProcNodes(PiNode& node) {
    std::vector<PxStrongHndl<const PxNode>> stale;
    collectProcNodes(node, stale);
    // Whoever still holds the old processing nodes learns once that they are stale (a node
    // passed through several document nodes is dropped several times).
    std::vector<const PxNode*> told;
    for (const auto& procNode : stale)
        if (std::find(told.begin(), told.end(), procNode.get()) == told.end()) {
            told.push_back(procNode.get());
            procNode->invalidate();
        }
}

void PiGraph::collectProcNodes(PiNode& node, std::vector<PxStrongHndl<const PxNode>>& stale) {
    auto it = _procNodes.find(&node);
    if (it == _procNodes.end() || !it->second.valid)
        return;
    for (auto& [name, procNode] : it->second.outputs)
        if (procNode)
            stale.push_back(procNode);
    it->second.outputs.clear();
    it->second.valid = false;
    for (auto& output : node._outputs)
        for (PiInput* destination : output->_destinations)
            if (auto downstream = destination->getNode())
                collectProcNodes(*downstream, stale);
}

PxStrongHndl<const PxNode> PiGraph::getProcNode(const RCShdPtr<const PiOutput>& output) {
    if (!output)
        return {};
    RCShdPtr<PiNode> node = output->getNode();
    if (!node || node->getGraph().get() != this)
        throwPiError("cannot build the processing node of output \"" + output->getName() +
                     "\": its node is not in this document");
    buildProcNodes(*node);
    const auto& outputs = _procNodes[node.get()].outputs;
    auto it = outputs.find(output->getName());
    return it == outputs.end() ? PxStrongHndl<const PxNode>() : it->second;
}

void PiGraph::buildProcNodes(PiNode& node) {
    ProcNodes& entry = _procNodes[&node];
    if (entry.valid)
        return;
    std::map<std::string, PxStrongHndl<const PxNode>> outputs;
    if (auto* topology = dynamic_cast<PiToolTopologyInterface*>(node.getController())) {
        GraphPublisher publisher(*this, node, outputs);
        topology->createProcNodes(publisher);
    } else if (dynamic_cast<PiBoundaryNode*>(&node)) {
        // A boundary node passes its input's processing node through.
        RCShdPtr<PiInput> input = node.getInput("Input");
        if (auto source = input->getSource())
            outputs[node.getOutputAt(0)->getName()] = getProcNode(source);
    }
    ProcNodes& done = _procNodes[&node];
    done.outputs = std::move(outputs);
    done.valid = true;
    ++done.builds;
}

int PiGraph::getProcBuildCount(const PiNode& node) const {
    auto it = _procNodes.find(&node);
    return it == _procNodes.end() ? 0 : it->second.builds;
}

} // namespace Kr
