// SPDX-License-Identifier: Apache-2.0
// The Switcher tool: its description, its node controller and the exports its
// user-interface module links against.

#include "switcherTool.h"
#include "switcherToolProtocol.h"

#include <Kr/Ex.h>
#include <Kr/PiNode.h>
#include <Kr/PiSocket.h>
#include <Kr/PiToolDescriptor.h>
#include <Kr/PiToolProtocol.h>
#include <Kr/PiUndo.h>
#include <Kr/PiUserInterfaceServices.h>
#include <Kr/PiViewer.h>
#include <Kr/PiWidgets.h>
#include <Kr/PxImage.h>
#include <Kr/PxNode.h>

namespace Kr {

namespace {

// Built when the library is loaded, destroyed when it is unloaded; handed out as copies.
const std::string toolName("Switcher");
const std::string selectedImageInputName("Selected Image");
const std::string otherImagesInputName("Other Images");
const std::string outputName("Output Image");
const std::string editorDescriptionFileName("<ToolUiDir>/switcher.xml");

// Filled by the user-interface module while it is loaded.
SwitcherController::UiFactory uiFactory = nullptr;
SwitcherController::EvFactory ehFactory = nullptr;

// Assertion failures carry this source path and the line of the check as the system has
// always reported them, whatever the layout of this file.
const char* const assertionSourcePath = "tools\\switcher\\src\\switcherTool";
constexpr int uiFactoryCheckLine = 251;
constexpr int ehFactoryCheckLine = 270;

constexpr int imageSocketType = 5;
constexpr int singleCardinality = 0;
constexpr int multipleCardinality = 1;
constexpr int schemaNb = 1;
constexpr int visibleToolCode = 1;
constexpr int simpleToolCode = 0;

class SwitcherToolProtocol : public PiCorvathToolProtocol {
public:
    SwitcherToolProtocol()
        : PiCorvathToolProtocol(toolName, PiToolProtocol::getUtilityCategory(), schemaNb, "Switches between inputs.",
                                visibleToolCode, simpleToolCode) {}
    ~SwitcherToolProtocol() override = default;

    std::string getPrimaryInput() const override { return selectedImageInputName; }

    void describe(PiToolDescriptor& descriptor) override {
        descriptor.addInput(selectedImageInputName, imageSocketType, singleCardinality);
        descriptor.addInput(otherImagesInputName, imageSocketType, multipleCardinality);
        descriptor.addOutput(outputName, imageSocketType);
    }

    OPtrRet<PiNodeController> createController() const override {
        return OPtrRet<PiNodeController>(new SwitcherController());
    }
};

RCShdPtr<PiMultivaluedInput> otherImagesOf(const RCShdPtr<PiNode>& node) {
    return node->getInput(otherImagesInputName).cast<PiMultivaluedInput>();
}

} // namespace

OPtrRet<PiToolProtocol> createSwitcherToolProtocol() {
    return OPtrRet<PiToolProtocol>(new SwitcherToolProtocol());
}

std::string SwitcherTool::getSelectedImageInputName() {
    return selectedImageInputName;
}

std::string SwitcherTool::getOtherImagesInputName() {
    return otherImagesInputName;
}

std::string SwitcherTool::getOutputName() {
    return outputName;
}

SwitcherController::SwitcherController() = default;

SwitcherController::~SwitcherController() = default;

void SwitcherController::nodeLoaded() {
    RCShdPtr<PiMultivaluedInput> others = otherImagesOf(getNode());
    // From the back, so that removing an entry does not renumber those still to visit.
    for (int i = others->getNbEntries() - 1; i >= 0; --i) {
        RCShdPtr<PiInput> entry = others->getEntry(i);
        if (!entry->isConnected())
            others->removeEntry(i);
    }
}

void SwitcherController::createProcNodes(OutputPublisher& publisher) {
    publisher.begin();
    PxStrongHndl<const PxNode> selected = publisher.getInputNode(selectedImageInputName);
    PxStrongHndl<const PxNode> output;
    if (!selected.isNull()) {
        PxStrongHndl<const PxImageProtocol> image = selected.cast<const PxImageProtocol>();
        output = image.cast<const PxNode>();
    }
    publisher.publish(outputName, output);
}

RCStrongPtr<PiEventHandler> SwitcherController::createEventHandler(PiViewer& viewer, const RCShdPtr<PiNode>&,
                                                                   const RCShdPtr<PiPath>&) {
    return ehFactory ? ehFactory(*this, viewer) : RCStrongPtr<PiEventHandler>();
}

std::string SwitcherController::getXmlDescription() const {
    return PiUserInterfaceServices::getInstance().getXmlDescription(editorDescriptionFileName);
}

std::string SwitcherController::getXmlFileName() const {
    return editorDescriptionFileName;
}

RCShdPtr<RCBase<LkCounter<int>>> SwitcherController::createInstanceData(const RCShdPtr<PiWidget>& widget,
                                                                        const RCShdPtr<const PiTimePath>&) {
    return uiFactory ? uiFactory(*this, widget) : RCShdPtr<RCBase<LkCounter<int>>>();
}

void SwitcherController::select(int index) {
    RCShdPtr<PiNode> node = getNode();
    RCShdPtr<PiMultivaluedInput> others = otherImagesOf(node);
    const int count = others->getNbEntries();
    // Below -1 is no entry at all; left to the count test alone it would park the current
    // source and then fail on the missing entry, half-way through the step.
    if (index < -1 || count < index + 1)
        return;

    PiUndoGuard guard(node->getCommandStack(), "Set Selected Image", PiExecParam());
    RCShdPtr<PiInput> selected = node->getInput(selectedImageInputName);
    if (selected->isConnected()) {
        RCShdPtr<const PiOutput> current = selected->getSource();
        selected->disconnect();
        others->connect(current);
    }
    if (index != -1) {
        // The entry parked above went to the end, so index still names the chosen entry.
        RCShdPtr<PiInput> entry = others->getEntry(index);
        RCShdPtr<const PiOutput> chosen = entry->getSource();
        others->removeEntry(index);
        selected->connect(chosen);
    }
}

void SwitcherController::registerUiFactory(UiFactory factory) {
    uiFactory = factory;
}

void SwitcherController::unregisterUiFactory(UiFactory factory) {
    if (!(uiFactory == factory))
        Assertions::throwAssertionFailed(assertionSourcePath, uiFactoryCheckLine, "uiFactory == factory");
    uiFactory = nullptr;
}

void SwitcherController::registerEvFactory(EvFactory factory) {
    ehFactory = factory;
}

void SwitcherController::unregisterEvFactory(EvFactory factory) {
    if (!(ehFactory == factory))
        Assertions::throwAssertionFailed(assertionSourcePath, ehFactoryCheckLine, "ehFactory == factory");
    ehFactory = nullptr;
}

} // namespace Kr
