// SPDX-License-Identifier: Apache-2.0
#pragma once

// The Switcher: a node that passes the image reaching "Selected Image" through unchanged
// and switches between its sources by re-wiring its own inputs, as one undoable step.
//
// What the Switcher's user-interface module binds to: the socket names, the selection
// operation and the two factory slots through which it supplies the node's editor object
// and its viewer event handler. Only these functions (and the package type) are exported
// from libKRswitcher.krtool; everything else in it stays hidden.

#include <Kr/InPackage.h>
#include <Kr/KrExport.h>
#include <Kr/PiNodeController.h>
#include <Kr/RC.h>

#include <string>

// The tool's package, so that a module can declare that it needs it:
// addDependency(Kr::InInit<KrInit::switcherKrtool>::getType()).
KR_PACKAGE_TAG(switcherKrtool)

namespace Kr {

class PiEventHandler;
class PiViewer;
class PiWidget;

class SwitcherTool {
public:
    SwitcherTool() = delete;

    // Each returns a new copy of the process-wide name.
    KR_EXPORT static std::string getSelectedImageInputName();
    KR_EXPORT static std::string getOtherImagesInputName();
    KR_EXPORT static std::string getOutputName();
};

// The controller of one Switcher node. It has no data of its own: the selection is the
// node's wiring, which the host saves, loads and undoes.
//
// The class is visible so that its type information is one across modules (dynamic casts,
// and the sanitizer's type checks on every call into it); of its members the library
// exports only those marked below (see switcherTool.exports).
class KR_EXPORT SwitcherController : public PiToolTopologyInterface,
                                     public PiEventHandlingInterface,
                                     public PiUserInterface {
public:
    // Makes the node's editor object from its root widget.
    using UiFactory = RCShdPtr<RCBase<LkCounter<int>>> (*)(SwitcherController& controller,
                                                           const RCShdPtr<PiWidget>& widget);
    // Makes the node's event handler in a viewer.
    using EvFactory = RCStrongPtr<PiEventHandler> (*)(SwitcherController& controller, PiViewer& viewer);

    SwitcherController();
    ~SwitcherController() override;

    // Drops the unconnected entries of "Other Images", so that every entry has a source.
    void nodeLoaded() override;
    // Publishes, as "Output Image", the very processing node that feeds "Selected Image".
    void createProcNodes(OutputPublisher& publisher) override;

    using PiEventHandlingInterface::createEventHandler;
    RCStrongPtr<PiEventHandler> createEventHandler(PiViewer& viewer, const RCShdPtr<PiNode>& node,
                                                   const RCShdPtr<PiPath>& path) override;

    std::string getXmlDescription() const override;
    std::string getXmlFileName() const override;
    using PiUserInterface::createInstanceData;
    RCShdPtr<RCBase<LkCounter<int>>> createInstanceData(const RCShdPtr<PiWidget>& widget,
                                                        const RCShdPtr<const PiTimePath>& timePath) override;

    // Makes entry index of "Other Images" the selected source, and parks the previously
    // selected one at the end of "Other Images"; -1 only parks it. One undo step, "Set
    // Selected Image". An index outside [-1, number of entries) changes nothing.
    KR_EXPORT void select(int index);

    // Each slot holds at most one factory; registering replaces it. Unregistering a factory
    // other than the stored one raises the assertion failure and keeps the slot as it was.
    KR_EXPORT static void registerUiFactory(UiFactory factory);
    KR_EXPORT static void unregisterUiFactory(UiFactory factory);
    KR_EXPORT static void registerEvFactory(EvFactory factory);
    KR_EXPORT static void unregisterEvFactory(EvFactory factory);
};

} // namespace Kr
