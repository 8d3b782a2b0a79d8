// SPDX-License-Identifier: Apache-2.0
#include <Kr/PiNode.h>

#include <Kr/PiErrors.h>
#include <Kr/PiGraph.h>
#include <Kr/PiNodeController.h>

namespace Kr {

namespace {
RCShdPtr<PiValue> makeValue(PiNode& node, const std::string& name, int valueType) {
    switch (valueType) {
    case PiValueType::boolean:
        return RCShdPtr<PiValue>(new PiTypedValue<bool>(node, name, false));
    case PiValueType::integer:
        return RCShdPtr<PiValue>(new PiTypedValue<int>(node, name, 0));
    case PiValueType::real:
        return RCShdPtr<PiValue>(new PiTypedValue<double>(node, name, 0.0));
    case PiValueType::color:
        return RCShdPtr<PiValue>(new PiTypedValue<PiColor>(node, name, PiColor()));
    case PiValueType::text:
        return RCShdPtr<PiValue>(new PiTypedValue<std::string>(node, name, std::string()));
    default:
        throwPiError("cannot declare value \"" + name + "\" of node \"" + node.getName() + "\": unknown value type " +
                     std::to_string(valueType));
    }
}
} // namespace

PiNode::PiNode(std::string name, std::string toolName) : _name(std::move(name)), _toolName(std::move(toolName)) {}

PiNode::~PiNode() {
    // The controller must not reach this node while it is being destroyed.
    if (_controller)
        _controller->_node = nullptr;
    _controller.reset();
    for (auto& socket : _sockets)
        socket->forgetNode();
    for (auto& input : _inputs)
        if (auto* multi = dynamic_cast<PiMultivaluedInput*>(input.get()))
            for (int i = 0; i < multi->getNbEntries(); ++i)
                multi->getEntry(i)->forgetNode();
    for (auto& value : _values)
        value->forgetNode();
}

RCShdPtr<PiGraph> PiNode::getGraph() const {
    return RCShdPtr<PiGraph>(_graph);
}

PiCommandStack& PiNode::getCommandStack() const {
    if (!_graph)
        throwPiError("node \"" + _name + "\" has no command stack: it is not in a document");
    return _graph->getCommandStack();
}

RCShdPtr<PiGroupNode> PiNode::getGroup() const {
    return RCShdPtr<PiGroupNode>(_group);
}

RCShdPtr<PiInput> PiNode::getInput(const std::string& name) const {
    for (const auto& input : _inputs)
        if (input->getName() == name)
            return input;
    return {};
}

RCShdPtr<PiOutput> PiNode::getOutput(const std::string& name) const {
    for (const auto& output : _outputs)
        if (output->getName() == name)
            return output;
    return {};
}

RCShdPtr<PiValue> PiNode::getValue(const std::string& name) const {
    for (const auto& value : _values)
        if (value->getName() == name)
            return value;
    return {};
}

void PiNode::addCallback(PiNodeEvent::Type type, CbHandler<const PiNodeEvent>& handler) {
    _callbacks[type].add(handler);
}

void PiNode::removeCallback(PiNodeEvent::Type type, CbHandler<const PiNodeEvent>& handler) {
    _callbacks[type].remove(handler);
}

void PiNode::raise(const PiNodeEvent& event) {
    RCShdPtr<PiNode> keepAlive(this);
    auto it = _callbacks.find(event.getType());
    if (it != _callbacks.end())
        it->second.invoke(event);
}

void PiNode::checkNewName(const std::string& name) const {
    if (name.empty())
        throwPiError("cannot declare a socket or value without a name on node \"" + _name + "\"");
    for (const auto& socket : _sockets)
        if (socket->getName() == name)
            throwPiError("cannot declare \"" + name + "\" twice on node \"" + _name + "\"");
}

RCShdPtr<PiInput> PiNode::addInput(const std::string& name, int socketType, int cardinality) {
    checkNewName(name);
    RCShdPtr<PiInput> input = cardinality == PiCardinality::multiple
                                  ? RCShdPtr<PiInput>(new PiMultivaluedInput(*this, name, socketType))
                                  : RCShdPtr<PiInput>(new PiInput(*this, name, socketType));
    _sockets.push_back(input);
    _inputs.push_back(input);
    return input;
}

RCShdPtr<PiOutput> PiNode::addOutput(const std::string& name, int socketType) {
    checkNewName(name);
    RCShdPtr<PiOutput> output(new PiOutput(*this, name, socketType));
    _sockets.push_back(output);
    _outputs.push_back(output);
    return output;
}

RCShdPtr<PiValue> PiNode::addValue(const std::string& name, int valueType) {
    return addValue(makeValue(*this, name, valueType));
}

RCShdPtr<PiValue> PiNode::addValue(const RCShdPtr<PiValue>& value) {
    if (getValue(value->getName()))
        throwPiError("cannot declare value \"" + value->getName() + "\" twice on node \"" + _name + "\"");
    _values.push_back(value);
    return value;
}

PiGroupNode::PiGroupNode(std::string name) : PiNode(std::move(name), {}) {}

PiGroupNode::~PiGroupNode() = default;

PiBoundaryNode::PiBoundaryNode(std::string name) : PiNode(std::move(name), {}) {}

PiBoundaryNode::~PiBoundaryNode() = default;

bool PiBoundaryNode::isGroupOpen() const {
    RCShdPtr<PiGroupNode> group = getGroup();
    return group && group->isOpen();
}

} // namespace Kr
