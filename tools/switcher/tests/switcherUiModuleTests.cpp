// SPDX-License-Identifier: Apache-2.0
// The module's package, and what its loading and unloading do to the Switcher.

#include "switcherUiTestDocument.h"

#include <Kr/In.h>
#include <Kr/PiViewer.h>
#include <Kr/PimUtils.h>
#include <Kr/UiHotkeyRegistry.h>

#include <algorithm>

// The Switcher's package tag, to name the dependency (this program does not link the tool).
KR_PACKAGE_TAG(switcherKrtool)

using namespace Kr;

namespace SwitcherUiTest {

namespace {

TEST(SwitcherUiModule, PackageNeedsTheSwitcherFirstAndRegistersItsBuildInformation) {
    const auto packages = InInitMgr::getInstance().getRegisteredSince(0);
    auto package = std::find_if(packages.begin(), packages.end(),
                                [](InPackageInit* p) { return std::string(p->getName()) == "switcherUiKrmodule"; });
    ASSERT_NE(package, packages.end());
    EXPECT_TRUE(InInitMgr::getInstance().isInitialized(**package));
    EXPECT_EQ((*package)->getDependencyKeys(),
              (std::vector<std::string>{
                  InInit<KrInit::switcherKrtool>::getType()->name(), InInit<KrInit::ui>::getType()->name(),
                  InInit<KrInit::internalAPI>::getType()->name(), InInit<KrInit::primitives>::getType()->name(),
                  InInit<KrInit::resmgt>::getType()->name(), InInit<KrInit::pluginAPI>::getType()->name(),
                  InInit<KrInit::base>::getType()->name()}));

    std::vector<std::string> infos;
    for (const InBuildInfo* info : InBuildInfoUtil::getLibraryInfos())
        infos.push_back(InBuildInfoUtil::describe(*info));
    EXPECT_NE(std::find(infos.begin(), infos.end(),
                        "Corvath Zantor Library [libKrswitcherUiKrmodule] 8.0 (2013), build 2600 of Jun 12 2012, "
                        "opt.x86_64.intel"),
              infos.end());
}

using SwitcherUiUnloading = SwitcherUiDocument;

TEST_F(SwitcherUiUnloading, LeavesLaterSwitchersWithoutEditorObjectOrViewerHandler) {
    UiViewer viewer("Viewer");
    viewer.addNode(s);
    ASSERT_TRUE(PiEditor::open(s)->getInstanceData());
    ASSERT_TRUE(viewer.hasEventHandler(s));
    viewer.removeNode(s);

    ASSERT_TRUE(PimUtils::unload(OsFilePath(moduleFile)));
    RCShdPtr<PiNode> later = graph->createNode("Switcher", "Later");
    RCShdPtr<PiEditor> laterEditor = PiEditor::open(later);
    EXPECT_TRUE(laterEditor->isOpen());
    EXPECT_FALSE(laterEditor->getInstanceData());
    viewer.addNode(later);
    EXPECT_FALSE(viewer.hasEventHandler(later));
    EXPECT_EQ(UiHotkeyRegistry::getInstance().getNbHandlers(
                  UiHotkeyRegistry::getInstance().getEntry("/Local/Tools/Switcher", "Switch")),
              0);

    // Loaded again, it serves new editors as before.
    ASSERT_TRUE(PimUtils::load(OsFilePath(moduleFile), InInitMgr::InitializeNow));
    EXPECT_TRUE(PiEditor::open(later)->getInstanceData());
}

} // namespace

} // namespace SwitcherUiTest
