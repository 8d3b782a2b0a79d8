// SPDX-License-Identifier: Apache-2.0
#include <Kr/PiEditor.h>

#include <Kr/PiErrors.h>
#include <Kr/PiGraph.h>
#include <Kr/PiNodeController.h>
#include <Kr/PiUndo.h>
#include <Kr/PiUserInterfaceServices.h>

namespace Kr {

// A text field or label showing a node value; a text field also sets it.
class PiEditor::Binding {
public:
    Binding(const RCShdPtr<PiWidget>& widget, const RCShdPtr<PiValue>& value)
        : _widget(widget), _value(value), _entered(*this, &Binding::entered) {
        if (auto field = widget.dynamicCast<PiTextField>())
            field->addCallback(EvWidgetCode::activate, _entered);
        show();
    }

    const RCShdPtr<PiValue>& getValue() const { return _value; }

    void show() {
        if (auto field = _widget.dynamicCast<PiTextField>())
            field->setText(_value->toText());
        else if (auto label = _widget.dynamicCast<PiLabel>())
            label->setText(_value->toText());
    }

private:
    void entered(EvEvent&) {
        auto field = _widget.cast<PiTextField>();
        RCShdPtr<PiNode> node = _value->getNode();
        if (RCShdPtr<PiGraph> graph = node->getGraph()) {
            PiUndoGuard guard(graph->getCommandStack(), "Set " + _value->getName(), PiExecParam());
            _value->fromText(field->getText());
        } else {
            _value->fromText(field->getText());
        }
    }

    RCShdPtr<PiWidget> _widget;
    RCShdPtr<PiValue> _value;
    CbMethod<Binding, EvEvent> _entered;
};

PiEditor::PiEditor(const RCShdPtr<PiNode>& node) : _node(node), _valueChanged(*this, &PiEditor::valueChanged) {}

PiEditor::~PiEditor() {
    close();
}

RCShdPtr<PiEditor> PiEditor::open(const RCShdPtr<PiNode>& node) {
    auto* ui = dynamic_cast<PiUserInterface*>(node->getController());
    const std::string description = ui ? ui->getXmlDescription() : std::string();
    if (description.empty())
        throwPiError("cannot open an editor for node \"" + node->getName() + "\": its tool describes no editor");
    RCShdPtr<PiEditor> editor(new PiEditor(node));
    const std::string fileName = ui->getXmlFileName();
    editor->_root = PiUserInterfaceServices::getInstance().buildWidgets(
        description, fileName.empty() ? "editor of " + node->getName() : fileName);
    editor->bind(editor->_root);
    node->addCallback(PiNodeEvent::ValueChanged, editor->_valueChanged);
    editor->_instanceData = ui->createInstanceData(editor->_root, RCShdPtr<const PiTimePath>(new PiTimePath()));
    return editor;
}

void PiEditor::bind(const RCShdPtr<PiWidget>& widget) {
    if (!widget->getValueName().empty()) {
        RCShdPtr<PiValue> value = _node->getValue(widget->getValueName());
        if (!value)
            throwPiError("cannot open an editor for node \"" + _node->getName() + "\": widget \"" + widget->getName() +
                         "\" shows value \"" + widget->getValueName() + "\", which the node does not have");
        _bindings.push_back(std::make_unique<Binding>(widget, value));
    }
    if (auto container = widget.dynamicCast<PiContainer>())
        for (int i = 0; i < container->getNbChildren(); ++i)
            bind(container->getChildAt(i));
}

void PiEditor::valueChanged(const PiNodeEvent& event) {
    for (auto& binding : _bindings)
        if (binding->getValue()->getName() == event.getName())
            binding->show();
}

RCShdPtr<PiWidget> PiEditor::findWidget(const std::string& name) const {
    if (!_root)
        return {};
    if (_root->getName() == name)
        return _root;
    auto container = _root.dynamicCast<PiContainer>();
    return container ? container->getChild(name) : RCShdPtr<PiWidget>();
}

void PiEditor::close() {
    // The editor object goes first: it may still use its widgets while it is destroyed.
    _instanceData.reset();
    _bindings.clear();
    _root.reset();
}

} // namespace Kr
