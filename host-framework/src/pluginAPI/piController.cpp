// SPDX-License-Identifier: Apache-2.0
#include <Kr/PiNodeController.h>

#include <Kr/InPaths.h>
#include <Kr/PiErrors.h>
#include <Kr/PiNode.h>
#include <Kr/PiUserInterfaceServices.h>

#include "piXmlTree.h"

namespace Kr {

PiPath::~PiPath() = default;

PiTimePath::~PiTimePath() = default;

PiNodeController::PiNodeController() = default;

PiNodeController::~PiNodeController() = default;

RCShdPtr<PiNode> PiNodeController::getNode() const {
    return RCShdPtr<PiNode>(_node);
}

void PiNodeController::nodeLoaded() {}

void PiNodeController::validateValue(const PiValue&) const {}

void PiNodeController::addCallback(PiNodeEvent::Type type, CbHandler<const PiNodeEvent>& handler) {
    getNode()->addCallback(type, handler);
}

void PiNodeController::removeCallback(PiNodeEvent::Type type, CbHandler<const PiNodeEvent>& handler) {
    getNode()->removeCallback(type, handler);
}

PiTopologyInterface::~PiTopologyInterface() = default;

PiToolTopologyInterface::OutputPublisher::~OutputPublisher() = default;

PiToolTopologyInterface::~PiToolTopologyInterface() = default;

void PiToolTopologyInterface::createProcNodes(OutputPublisher& publisher) {
    publisher.begin();
}

PiEventHandlingInterface::~PiEventHandlingInterface() = default;

RCStrongPtr<PiEventHandler> PiEventHandlingInterface::createEventHandler(PiViewer&, const RCShdPtr<PiNode>&,
                                                                         const RCShdPtr<PiPath>&) const {
    return {};
}

RCStrongPtr<PiEventHandler> PiEventHandlingInterface::createEventHandler(PiViewer& viewer, const RCShdPtr<PiNode>& node,
                                                                         const RCShdPtr<PiPath>& path) {
    return static_cast<const PiEventHandlingInterface&>(*this).createEventHandler(viewer, node, path);
}

PiUserInterface::~PiUserInterface() = default;

std::string PiUserInterface::getXmlDescription() const {
    const std::string fileName = getXmlFileName();
    return fileName.empty() ? std::string() : PiUserInterfaceServices::getInstance().getXmlDescription(fileName);
}

std::string PiUserInterface::getXmlFileName() const {
    return {};
}

RCShdPtr<RCBase<LkCounter<int>>> PiUserInterface::createInstanceData(const RCShdPtr<PiWidget>&,
                                                                     const RCShdPtr<const PiTimePath>&) const {
    return {};
}

RCShdPtr<RCBase<LkCounter<int>>> PiUserInterface::createInstanceData(const RCShdPtr<PiWidget>& widget,
                                                                     const RCShdPtr<const PiTimePath>& timePath) {
    return static_cast<const PiUserInterface&>(*this).createInstanceData(widget, timePath);
}

PiSchematicInterface::~PiSchematicInterface() = default;

std::string PiSchematicInterface::getSchematicLabel() const {
    RCShdPtr<PiNode> node = getNode();
    return node ? node->getName() : std::string();
}

bool PiSchematicInterface::hasCustomPicture() const {
    return false;
}

bool PiSchematicInterface::canEdit() const {
    return true;
}

std::string PiSchematicInterface::getNodeXmlDescription(Layout) {
    return {};
}

void PiSchematicInterface::cacheNodeXmlDescription() {
    _cachedDescription = getNodeXmlDescription(Horizontal);
}

std::string PiSchematicInterface::readXmlFile(const std::string& fileName) {
    return PiXml::readFile(InPaths::expand(fileName), "cannot read description file");
}

PiOutcomeInterface::~PiOutcomeInterface() = default;

std::string PiOutcomeInterface::getOutcome() const {
    return {};
}

} // namespace Kr
