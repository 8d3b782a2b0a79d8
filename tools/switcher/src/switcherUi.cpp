// SPDX-License-Identifier: Apache-2.0
// The Switcher's editor object. It keeps no selection of its own: the menu is recomputed from
// the node's wiring whenever a socket of the node is connected or disconnected, and a choice
// is mapped to its entry of "Other Images" from the wiring at the moment of the choice, then
// goes through SwitcherController::select like every other change of selection.

#include "switcherUi.h"

#include <Kr/CbHandler.h>
#include <Kr/EvEvent.h>
#include <Kr/PiNode.h>
#include <Kr/PiNodeEvent.h>
#include <Kr/PiSocket.h>
#include <Kr/PiWidgets.h>

#include <string>
#include <vector>

namespace Kr {

namespace {

const std::string menuName("selectorMenu");
const std::string noSelectionText("None");
const std::string outputSeparator(" - ");

// The node whose name stands for an output in the menu. A boundary node is only visible
// while its group is open; otherwise the user sees the group, so the group names it.
RCShdPtr<PiNode> namingNodeOf(const RCShdPtr<PiNode>& node) {
    RCShdPtr<PiBoundaryNode> boundary = node.dynamicCast<PiBoundaryNode>();
    if (!boundary || boundary->isGroupOpen())
        return node;
    RCShdPtr<PiGroupNode> group = boundary->getGroup();
    // A boundary left without a group has nothing to stand for it but itself.
    return group ? RCShdPtr<PiNode>(group) : node;
}

std::string entryTextOf(const PiOutput& output) {
    RCShdPtr<PiNode> naming = namingNodeOf(output.getNode());
    if (naming->getNbOutputs() == 1)
        return naming->getName();
    return naming->getName() + outputSeparator + output.getName();
}

class SwitcherUiImp : public RCBase<LkCounter<int>> {
public:
    SwitcherUiImp(SwitcherController& controller, const RCShdPtr<PiWidget>& widget)
        : _controller(controller), _connectedCb(*this, &SwitcherUiImp::socketChanged),
          _disconnectedCb(*this, &SwitcherUiImp::socketChanged), _container(widget.cast<PiContainer>()),
          _menu(_container->getChild(menuName).cast<PiMenu>()), _choiceCb(*this, &SwitcherUiImp::applyChoice),
          _rebuildCb(*this, &SwitcherUiImp::rebuildRequested) {
        _controller.addCallback(PiNodeEvent::SocketConnected, _connectedCb);
        _controller.addCallback(PiNodeEvent::SocketDisconnected, _disconnectedCb);
        _menu->addCallback(EvWidgetCode::rebuild, _rebuildCb);
        _menu->addCallback(EvWidgetCode::activate, _choiceCb);
        refresh();
    }

private:
    void socketChanged(const PiNodeEvent&) { refresh(); }
    void rebuildRequested(EvEvent&) { rebuild(); }

    void refresh() {
        _sources.clear();
        RCShdPtr<PiNode> node = _controller.getNode();
        RCShdPtr<const PiOutput> selected = node->getInput(SwitcherTool::getSelectedImageInputName())->getSource();
        _hasSelection = !selected.isNull();
        if (_hasSelection)
            _sources.push_back(selected);
        for (int entry : connectedOtherEntries())
            _sources.push_back(otherImages()->getEntry(entry)->getSource());
        rebuild();
    }

    // Entry 0 is always the state of "Selected Image" (its source, or "None"); entry k > 0
    // is the source of the (k - 1)th connected entry of "Other Images".
    void rebuild() {
        _menu->removeAllEntries();
        if (!_hasSelection)
            _menu->appendEntry(noSelectionText);
        for (const RCShdPtr<const PiOutput>& source : _sources)
            _menu->appendEntry(entryTextOf(*source));
        _menu->setCurrentIndex(0, 0);
    }

    void applyChoice(EvEvent&) {
        const int index = _menu->getCurrentIndex();
        // -1: nothing chosen; 0: the current source (or "None"), which is already selected.
        if (index == -1 || index == 0)
            return;
        // Entries without a source (added and never connected, or disconnected by hand) are
        // not listed, and adding or removing one raises no socket event: the menu entry is
        // mapped to the input's own entry from the wiring as it is now. Sources themselves
        // cannot change unseen (each connection change refreshes the menu), so the k-th
        // connected entry is the source the menu shows at k.
        const std::vector<int> entries = connectedOtherEntries();
        if (index - 1 >= static_cast<int>(entries.size()))
            return;
        // The socket events of the re-wiring refresh the menu, with the chosen source first.
        _controller.select(entries[index - 1]);
    }

    RCShdPtr<PiMultivaluedInput> otherImages() const {
        return _controller.getNode()->getInput(SwitcherTool::getOtherImagesInputName()).cast<PiMultivaluedInput>();
    }

    // The numbers of the entries of "Other Images" that have a source, in entry order.
    std::vector<int> connectedOtherEntries() const {
        RCShdPtr<PiMultivaluedInput> others = otherImages();
        std::vector<int> entries;
        for (int i = 0; i < others->getNbEntries(); ++i)
            if (others->getEntry(i)->getSource())
                entries.push_back(i);
        return entries;
    }

    SwitcherController& _controller;
    CbMethod<SwitcherUiImp, const PiNodeEvent> _connectedCb;
    CbMethod<SwitcherUiImp, const PiNodeEvent> _disconnectedCb;
    RCShdPtr<PiContainer> _container;
    RCShdPtr<PiMenu> _menu;
    CbMethod<SwitcherUiImp, EvEvent> _choiceCb;
    CbMethod<SwitcherUiImp, EvEvent> _rebuildCb;
    std::vector<RCShdPtr<const PiOutput>> _sources;
    bool _hasSelection = false;
};

} // namespace

RCShdPtr<RCBase<LkCounter<int>>> createSwitcherUi(SwitcherController& controller, const RCShdPtr<PiWidget>& widget) {
    return RCShdPtr<RCBase<LkCounter<int>>>(new SwitcherUiImp(controller, widget));
}

} // namespace Kr
