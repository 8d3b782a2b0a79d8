// SPDX-License-Identifier: Apache-2.0
// The Notes tool: an image modifier whose processing node passes its input through and whose
// node carries a note, the value "Notes", shown in its editor and its schematic picture.

#include "notesTool.h"

#include <Kr/PiImageModifier.h>
#include <Kr/PiNode.h>
#include <Kr/PiSocket.h>
#include <Kr/PiValue.h>
#include <Kr/PxImage.h>

#include <string>

namespace {

// Built when the library is loaded, destroyed when it is unloaded.
const std::string notesValueName = "Notes";

} // namespace

// The controller of one Notes node. It has no state of its own: the note lives in the node's
// value. It is named outside the anonymous namespace only because the description templates
// instantiated on it are exported by name, which a file-local type would prevent; nothing
// outside this file declares it.
class KR_EXPORT NotesController : public Kr::PiImageModifier {
public:
    NotesController();
    ~NotesController() override;

    void reset() override;
    Kr::PxStrongHndl<Kr::PxImageProtocol>
    createImageProcNode(const ProcContext& context, const Kr::PxNodePtr<const Kr::PxImageProtocol>& input) override;
    std::string getNodeXmlDescription(Layout layout) override;
};

namespace {

using namespace Kr;

// The processing node of a Notes node: the framework's image node on the tool's input, with
// the input registered as its child so that the input's invalidations reach it.
class NotesPxNode : public PxImageNode {
public:
    // The image node keeps a reference to _input; it is filled once that base is built.
    explicit NotesPxNode(const PxNodePtr<const PxImageProtocol>& input)
        : PxNode(PxNode::Init()), PxImageNode(_input), _input(input) {}

    ~NotesPxNode() override {
        unregisterChild(_input.dynamicCast<const PxNode>());
        _input.reset();
    }

    void init() override {
        PxImageNode::init();
        registerChild(_input.dynamicCast<const PxNode>());
    }

private:
    PxNodePtr<const PxImageProtocol> _input;
};

} // namespace

NotesController::NotesController() : PiNodeController(), PiImageModifier("<ToolUiDir>/notes.xml") {}

NotesController::~NotesController() = default;

void NotesController::reset() {
    PiImageModifier::reset();
    getNode()->getValue(notesValueName)->reset();
}

Kr::PxStrongHndl<Kr::PxImageProtocol>
NotesController::createImageProcNode(const ProcContext&, const Kr::PxNodePtr<const Kr::PxImageProtocol>& input) {
    // On a processing worker thread the handle refuses the node and destroys it again.
    Kr::PxStrongHndl<NotesPxNode> node(new NotesPxNode(input));
    Kr::PxNode::init(node);
    return node;
}

std::string NotesController::getNodeXmlDescription(Layout layout) {
    const std::string fileName =
        layout == Horizontal ? "<ToolUiDir>/notesToolSchematicNodeH.xml" : "<ToolUiDir>/notesToolSchematicNodeV.xml";
    return readXmlFile(fileName);
}

namespace Kr {

// The Notes description: one primary image input, the note, no masking.
template <>
void PiToolPolicyProtocol<NotesController, PiImageModifier::Descriptor>::describe(
    PiImageModifier::Descriptor& descriptor) const {
    RCShdPtr<PiImageInputPolicy> primary = PiImageInputPolicy::createPrimary(3, 7, 1, 0, false);
    PiImageModifier::addSingleImageInput(descriptor, primary, PiCardinality::single);
    descriptor.stores(notesValueName, PiValueType::text);
    descriptor.setMaskingMode(PiImageModifierTypes::NoMasking);
}

template class PiToolPolicyProtocol<NotesController, PiImageModifier::Descriptor>;
template class PiImageModifierInfo<NotesController>;
template bool Iterator<PiToolPolicyDescriptor::PolicyEntry>::isNull() const;

} // namespace Kr

void NotesTool::registerTool() {
    using namespace Kr;
    const std::string name = "Notes";
    const std::string category = PiToolProtocol::getUtilityCategory();
    const std::string productName = PiCorvathToolProtocol::getCorvathProductName();
    const std::string manufacturer = PiCorvathToolProtocol::getCorvathManufacturer();
    const std::string version = PiCorvathToolProtocol::getCorvathVersionString();
    const std::string description = "Adds a note.";
    PiImageModifier::registerTool(OPtr<PiToolProtocol>(
        new PiImageModifierInfo<NotesController>(name, category, productName, manufacturer, version, 2, description,
                                                 PiToolCodes::visible, PiToolCodes::simpleTool)));
}
