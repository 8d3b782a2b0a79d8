// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/CbHandler.h>
#include <Kr/EvEvent.h>
#include <Kr/KrExport.h>
#include <Kr/PiNode.h>
#include <Kr/PiWidgets.h>
#include <Kr/RC.h>

#include <memory>
#include <string>
#include <vector>

namespace Kr {

// A node's open editor: the widgets built from its controller's description, the
// controller's per-node editor object (kept for the editor's life), and the widgets bound
// to node values (a text field with value="Notes" shows the value and sets it when the user
// enters a text, as one undo step).
class KR_EXPORT PiEditor : public RCBase<LkCounter<int>> {
public:
    // Refused with an error when the node's controller has no editor description.
    static RCShdPtr<PiEditor> open(const RCShdPtr<PiNode>& node);
    ~PiEditor() override;

    const RCShdPtr<PiNode>& getNode() const { return _node; }
    const RCShdPtr<PiWidget>& getRootWidget() const { return _root; }
    // The controller's editor object; empty when the controller made none.
    const RCShdPtr<RCBase<LkCounter<int>>>& getInstanceData() const { return _instanceData; }
    // The root widget or a widget inside it, by name; empty when there is none.
    RCShdPtr<PiWidget> findWidget(const std::string& name) const;
    // Releases the editor object and the widgets; the editor is then empty.
    void close();
    bool isOpen() const { return !_root.isNull(); }

private:
    class Binding;
    explicit PiEditor(const RCShdPtr<PiNode>& node);
    void bind(const RCShdPtr<PiWidget>& widget);
    void valueChanged(const PiNodeEvent& event);

    RCShdPtr<PiNode> _node;
    RCShdPtr<PiWidget> _root;
    RCShdPtr<RCBase<LkCounter<int>>> _instanceData;
    std::vector<std::unique_ptr<Binding>> _bindings;
    CbMethod<PiEditor, const PiNodeEvent> _valueChanged;
};

} // namespace Kr
