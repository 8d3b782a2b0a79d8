#include <Kr/PiValue.h>

#include <Kr/PiGraph.h>
#include <Kr/PiNode.h>

namespace Kr {

PiValue::PiValue(PiNode& node, std::string name, int valueType)
    : _node(&node), _name(std::move(name)), _valueType(valueType) {}

PiValue::~PiValue() = default;

RCShdPtr<PiNode> PiValue::getNode() const {
    return RCShdPtr<PiNode>(_node);
}

void PiValue::changed(const std::string& before, const std::string& after) {
    if (!_node)
        return;
    RCShdPtr<PiNode> node(_node);
    RCShdPtr<PiValue> self(this);
    if (RCShdPtr<PiGraph> graph = node->getGraph()) {
        graph->getCommandStack().record(
            "Set " + _name, [node, self, before] { self->fromText(before); },
            [node, self, after] { self->fromText(after); });
        graph->nodeChanged(*node);
    }
    node->raise(PiNodeEvent(PiNodeEvent::ValueChanged, *node, _name));
}

} // namespace Kr
