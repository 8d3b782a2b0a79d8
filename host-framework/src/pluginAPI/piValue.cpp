// SPDX-License-Identifier: Apache-2.0
#include <Kr/PiValue.h>

#include <Kr/PiGraph.h>
#include <Kr/PiNode.h>

#include <charconv>

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

namespace Kr {

namespace {

template <class T> std::string numberText(T value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

template <class T> bool readNumber(std::string_view text, T& value) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '-' || text.front() == '+'))
            return false;
    }
    T read{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), read);
    if (error != std::errc() || end != text.data() + text.size())
        return false;
    value = read;
    return true;
}

} // namespace

std::string piNumberText(double value) {
    return numberText(value);
}

std::string piNumberText(float value) {
    return numberText(value);
}

bool piReadNumber(std::string_view text, double& value) {
    return readNumber(text, value);
}

bool piReadNumber(std::string_view text, float& value) {
    return readNumber(text, value);
}

} // namespace Kr
