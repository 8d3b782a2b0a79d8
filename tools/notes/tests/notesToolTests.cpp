// SPDX-License-Identifier: Apache-2.0
// The registered Notes tool: package, build information, exported names, its description and
// the controllers it makes.

#include "notesTestSupport.h"

#include <Kr/InBuildInfo.h>
#include <Kr/PiGraph.h>
#include <Kr/PiNode.h>
#include <Kr/PiToolDescriptor.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

using namespace Kr;
using namespace NotesTest;

namespace {

TEST(NotesLoading, LoadingTheFileRegistersPackageBuildInformationAndTool) {
    PiToolProtocol& tool = loadNotesTool();

    const auto packages = InInitMgr::getInstance().getRegisteredSince(0);
    auto package = std::find_if(packages.begin(), packages.end(),
                                [](InPackageInit* p) { return std::string(p->getName()) == "notesKrtool"; });
    ASSERT_NE(package, packages.end());
    EXPECT_TRUE(InInitMgr::getInstance().isInitialized(**package));
    EXPECT_EQ((*package)->getDependencyKeys(), (std::vector<std::string>{InInit<KrInit::internalAPI>::getType()->name(),
                                                                         InInit<KrInit::resmgt>::getType()->name(),
                                                                         InInit<KrInit::pluginAPI>::getType()->name(),
                                                                         InInit<KrInit::base>::getType()->name()}));

    std::vector<std::string> infos;
    for (const InBuildInfo* info : InBuildInfoUtil::getLibraryInfos())
        infos.push_back(InBuildInfoUtil::describe(*info));
    EXPECT_NE(std::find(infos.begin(), infos.end(),
                        "Corvath Zantor Library [libKrnotesKrtool] 8.0 (2013), build 2600 of Jun 12 2012, "
                        "opt.x86_64.intel"),
              infos.end());

    EXPECT_EQ(tool.getShortToolName(), "Notes");
    EXPECT_EQ(tool.getCategory(), PiToolProtocol::getUtilityCategory());
    EXPECT_EQ(tool.getProductName(), PiCorvathToolProtocol::getCorvathProductName());
    EXPECT_EQ(tool.getManufacturer(), PiCorvathToolProtocol::getCorvathManufacturer());
    EXPECT_EQ(tool.getVersion(), PiCorvathToolProtocol::getCorvathVersionString());
    EXPECT_EQ(tool.getSchemaNb(), 2);
    EXPECT_EQ(tool.getDescription(), "Adds a note.");
    auto& imp = dynamic_cast<PiToolProtocolImp&>(tool);
    EXPECT_EQ(imp.getVisibility(), 1);
    EXPECT_EQ(imp.getStructure(), 0);
    EXPECT_FALSE(tool.isInternal());
    EXPECT_FALSE(tool.isSuperTool());
}

TEST(NotesLoading, ExportsExactlyTheDescriptionTemplateMembersAndThePackageType) {
    loadNotesTool();
    std::set<std::string> exported;
    std::unique_ptr<FILE, int (*)(FILE*)> nm(::popen(("nm -DC --defined-only '" + toolFile + "'").c_str(), "r"),
                                             ::pclose);
    ASSERT_TRUE(nm) << "cannot run nm";
    char line[4096];
    while (std::fgets(line, sizeof line, nm.get())) {
        std::string text(line, std::strcspn(line, "\n")); // "address type name"
        exported.insert(text.substr(text.find(' ', text.find(' ') + 1) + 1));
    }
    const std::string policy = "Kr::PiToolPolicyProtocol<NotesController, Kr::PiImageModifier::Descriptor>::";
    EXPECT_EQ(exported, (std::set<std::string>{
                            policy + "PiToolPolicyProtocol()",
                            policy + "~PiToolPolicyProtocol()",
                            policy + "describe(Kr::PiImageModifier::Descriptor&) const",
                            policy + "copyFromDescriptor(Kr::PiImageModifier::Descriptor&) const",
                            policy + "describe() const",
                            policy + "getPrimaryInput[abi:cxx11]() const",
                            policy + "describe(Kr::PiToolDescriptor&)",
                            policy + "createController() const",
                            policy + "initializeController(NotesController&) const",
                            "Kr::Iterator<Kr::PiToolPolicyDescriptor::PolicyEntry>::isNull() const",
                            "Kr::InInit<KrInit::notesKrtool>::getType()",
                        }));
}

TEST(NotesDescription, TheHostDescriptionDeclaresTheImageModifierAndTheNoteInOrder) {
    PiToolProtocol& tool = loadNotesTool();
    PiToolDescriptor descriptor;
    tool.describe(descriptor);
    std::vector<std::string> declared;
    for (const auto& d : descriptor.getDeclarations())
        declared.push_back(std::to_string(d.kind) + " " + d.name + " " + std::to_string(d.type) + " " +
                           std::to_string(d.cardinality));
    const std::string value = std::to_string(PiToolDescriptor::Value) + " ";
    EXPECT_EQ(declared, (std::vector<std::string>{
                            value + PiImageModifier::getMuteValueName() + " 0 0",
                            value + PiImageModifier::getAffectValueName() + " 2 0",
                            std::to_string(PiToolDescriptor::Output) + " " + PiImageModifier::getOutputName() + " 5 0",
                            std::to_string(PiToolDescriptor::Input) + " " + PiImageModifier::getInputName() + " 5 0",
                            value + "Notes 4 0",
                            std::to_string(PiToolDescriptor::Masking) + "  0 0",
                        }));

    auto& queries = dynamic_cast<PiImageModifierProtocol&>(tool);
    EXPECT_TRUE(queries.canMute());
    EXPECT_TRUE(queries.canBeDisplayModifier());
    EXPECT_EQ(queries.getMaskingMode(), PiImageModifierTypes::NoMasking);
}

// Each description makes a new primary input policy, so the policy a new controller receives
// tells which description filled the cache.
const PiInputPolicy* primaryPolicyOfNewController(const PiToolProtocol& tool) {
    OPtr<PiNodeController> controller(tool.createController());
    const auto& policies = asModifier(controller.get()).getInputPolicies();
    return policies.empty() ? nullptr : policies.front().second.get();
}

TEST(NotesDescription, QueriesDescribeOnceAndHostRequestsReplaceTheCacheEveryTime) {
    PiToolProtocol& tool = loadNotesTool();
    EXPECT_EQ(tool.getPrimaryInput(), PiImageModifier::getInputName());
    const PiInputPolicy* described = primaryPolicyOfNewController(tool);
    ASSERT_NE(described, nullptr);
    EXPECT_EQ(tool.getPrimaryInput(), PiImageModifier::getInputName());
    EXPECT_FALSE(dynamic_cast<PiImageModifierProtocol&>(tool).canAffectAlpha());
    EXPECT_EQ(primaryPolicyOfNewController(tool), described);

    PiToolDescriptor first;
    tool.describe(first);
    const PiInputPolicy* afterFirst = primaryPolicyOfNewController(tool);
    EXPECT_NE(afterFirst, described);
    PiToolDescriptor second;
    tool.describe(second);
    EXPECT_NE(primaryPolicyOfNewController(tool), afterFirst);
    EXPECT_EQ(second.getDeclarations().size(), first.getDeclarations().size());
}

TEST(NotesController, NewNodesGetThePrimaryInputPolicyAndNoMaskingPolicyOrInput) {
    OPtr<PiNodeController> controller = createController();
    PiImageModifier& modifier = asModifier(controller.get());
    ASSERT_EQ(modifier.getInputPolicies().size(), 1u);
    const auto& [name, policy] = modifier.getInputPolicies().front();
    EXPECT_EQ(name, PiImageModifier::getInputName());
    ASSERT_TRUE(policy);
    EXPECT_TRUE(policy->isPrimary());
    EXPECT_EQ(modifier.getXmlFileName(), "<ToolUiDir>/notes.xml");

    RCShdPtr<PiGraph> graph(new PiGraph());
    RCShdPtr<PiNode> node = graph->createNode("Notes", "N");
    EXPECT_FALSE(node->getInput(PiImageModifier::getMaskInputName()));
    EXPECT_EQ(node->getNbInputs(), 1);
    EXPECT_EQ(node->getNbOutputs(), 1);
}

} // namespace
