// SPDX-License-Identifier: Apache-2.0
#include <Kr/PiGraph.h>
#include <Kr/PiImageModifier.h>

#include <gtest/gtest.h>

using namespace Kr;

namespace {

int describeCalls = 0;

// A modifier controller whose processing node records that it was made for its input.
class TintController : public PiImageModifier {
public:
    TintController() : PiImageModifier("<ToolUiDir>/tint.xml") {}
};

class MaskedController : public PiImageModifier {
public:
    MaskedController() : PiImageModifier("") {}
};

} // namespace

namespace Kr {
template <>
void PiToolPolicyProtocol<TintController, PiImageModifier::Descriptor>::describe(
    PiImageModifier::Descriptor& descriptor) const {
    ++describeCalls;
    PiImageModifier::addSingleImageInput(descriptor, PiImageInputPolicy::createPrimary(3, 7, 1, 0, false), 0);
    descriptor.stores("Tint", PiValueType::text);
    descriptor.setMaskingMode(0);
}

template <>
void PiToolPolicyProtocol<MaskedController, PiImageModifier::Descriptor>::describe(
    PiImageModifier::Descriptor& descriptor) const {
    PiImageModifier::addSingleImageInput(descriptor, PiImageInputPolicy::createPrimary(3, 7, 1, 0, false), 0);
    descriptor.setMaskingMode(1);
}
} // namespace Kr

namespace {

using TintInfo = PiImageModifierInfo<TintController>;

std::unique_ptr<TintInfo> makeTint() {
    return std::make_unique<TintInfo>("Tint", PiToolProtocol::getUtilityCategory(),
                                      PiCorvathToolProtocol::getCorvathProductName(),
                                      PiCorvathToolProtocol::getCorvathManufacturer(),
                                      PiCorvathToolProtocol::getCorvathVersionString(), 2, "Tints.", 1, 0);
}

TEST(PiImageModifierInfo, DescribesLazilyOnceAndAnswersFromTheCache) {
    auto tool = makeTint();
    describeCalls = 0;
    EXPECT_EQ(tool->getPrimaryInput(), PiImageModifier::getInputName());
    EXPECT_EQ(describeCalls, 1);
    EXPECT_TRUE(tool->canMute());
    EXPECT_TRUE(tool->canAffectColor());
    EXPECT_FALSE(tool->canAffectAlpha());
    EXPECT_TRUE(tool->canBeDisplayModifier());
    EXPECT_EQ(tool->getMaskingMode(), PiImageModifierTypes::NoMasking);
    EXPECT_EQ(describeCalls, 1);
    EXPECT_EQ(tool->getShortToolName(), "Tint");
    EXPECT_EQ(tool->getSchemaNb(), 2);
    EXPECT_FALSE(tool->isInternal());
}

TEST(PiImageModifierInfo, TheHostDescriptionDeclaresInOrderAndRefreshesTheCacheEveryTime) {
    auto tool = makeTint();
    describeCalls = 0;
    PiToolDescriptor descriptor;
    tool->describe(descriptor);
    tool->describe(descriptor = PiToolDescriptor());
    EXPECT_EQ(describeCalls, 2);
    std::vector<std::string> order;
    for (const auto& d : descriptor.getDeclarations())
        order.push_back(std::to_string(d.kind) + ":" + d.name + ":" + std::to_string(d.type));
    EXPECT_EQ(order,
              (std::vector<std::string>{"2:Mute:0", "2:Affect:2", "1:Output:5", "0:Input:5", "2:Tint:4", "3::0"}));
}

TEST(PiImageModifierInfo, ControllersGetThePoliciesAndMaskingOnlyWhenAsked) {
    auto tool = makeTint();
    OPtr<PiNodeController> controller(tool->createController());
    auto& tint = dynamic_cast<TintController&>(*controller);
    ASSERT_EQ(tint.getInputPolicies().size(), 1u);
    EXPECT_EQ(tint.getInputPolicies()[0].first, "Input");
    EXPECT_EQ(tint.getPrimaryInputName(), "Input");
    EXPECT_EQ(tint.getXmlFileName(), "<ToolUiDir>/tint.xml");

    PiImageModifierInfo<MaskedController> masked("Masked", "Utility", "p", "m", "v", 1, "d", 1, 0);
    EXPECT_EQ(masked.getMaskingMode(), PiImageModifierTypes::MaskOnly);
    OPtr<PiNodeController> maskedController(masked.createController());
    EXPECT_EQ(dynamic_cast<MaskedController&>(*maskedController).getInputPolicies().size(), 2u);
}

TEST(PiImageModifier, ANodePassesItsInputThroughAndResetRestoresMuteAndAffect) {
    PiImageModifier::registerTool(OPtr<PiToolProtocol>(makeTint().release()));
    RCShdPtr<PiGraph> graph(new PiGraph());
    auto source = graph->createNode("Constant", "C");
    source->getValue("Color")->fromText("0.25 0.5 0.75 1");
    auto tint = graph->createNode("Tint", "T");
    tint->getInput("Input")->connect(source->getOutput("Output"));
    PxImage image = pxRenderImage(graph->getProcNode(tint->getOutput("Output")));
    EXPECT_FLOAT_EQ(image.at(3, 3)[2], 0.75f);

    tint->getValue("Mute")->fromText("1");
    tint->getValue("Affect")->fromText("0.5");
    EXPECT_EQ(graph->getProcNode(tint->getOutput("Output")), graph->getProcNode(source->getOutput("Output")));
    dynamic_cast<PiToolInterface*>(tint->getController())->reset();
    EXPECT_EQ(tint->getValue("Mute")->toText(), "0");
    EXPECT_EQ(tint->getValue("Affect")->toText(), "1");
    PiToolRegistry::getInstance().unregisterTool("Tint");
}

} // namespace
