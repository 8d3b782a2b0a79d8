// SPDX-License-Identifier: Apache-2.0
// libKRswitcher.krtool as the host meets it: loaded by file name through the module loader,
// which registers and initialises its package. This program does not link the library.

#include <Kr/In.h>
#include <Kr/PiToolProtocol.h>
#include <Kr/PimUtils.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>

using namespace Kr;

namespace {

const std::string toolFile = std::string(KR_BIN_DIR) + "/libKRswitcher.krtool";

TEST(SwitcherLoading, LoadingTheFileInitialisesItsPackageBuildInformationAndTool) {
    ASSERT_EQ(PiToolRegistry::getInstance().findTool("Switcher"), nullptr);
    ASSERT_TRUE(PimUtils::load(OsFilePath(toolFile), InInitMgr::InitializeNow));

    const auto packages = InInitMgr::getInstance().getRegisteredSince(0);
    auto package = std::find_if(packages.begin(), packages.end(),
                                [](InPackageInit* p) { return std::string(p->getName()) == "switcherKrtool"; });
    ASSERT_NE(package, packages.end());
    EXPECT_TRUE(InInitMgr::getInstance().isInitialized(**package));
    EXPECT_EQ((*package)->getDependencyKeys(), (std::vector<std::string>{InInit<KrInit::internalAPI>::getType()->name(),
                                                                         InInit<KrInit::primitives>::getType()->name(),
                                                                         InInit<KrInit::resmgt>::getType()->name(),
                                                                         InInit<KrInit::pluginAPI>::getType()->name(),
                                                                         InInit<KrInit::base>::getType()->name()}));

    std::vector<std::string> infos;
    for (const InBuildInfo* info : InBuildInfoUtil::getLibraryInfos())
        infos.push_back(InBuildInfoUtil::describe(*info));
    EXPECT_NE(std::find(infos.begin(), infos.end(),
                        "Corvath Zantor Library [libKrswitcherKrtool] 8.0 (2013), build 2600 of Jun 12 2012, "
                        "opt.x86_64.intel"),
              infos.end());
    EXPECT_NE(PiToolRegistry::getInstance().findTool("Switcher"), nullptr);
}

TEST(SwitcherLoading, ExportsExactlyItsInterfaceAndTheControllersTypeInformation) {
    std::set<std::string> exported;
    std::unique_ptr<FILE, int (*)(FILE*)> nm(::popen(("nm -DC --defined-only '" + toolFile + "'").c_str(), "r"),
                                             ::pclose);
    ASSERT_TRUE(nm) << "cannot run nm";
    char line[4096];
    while (std::fgets(line, sizeof line, nm.get())) {
        std::string text(line, std::strcspn(line, "\n")); // "address type name"
        exported.insert(text.substr(text.find(' ', text.find(' ') + 1) + 1));
    }
    const std::string uiFactory = "(Kr::RCShdPtr<Kr::RCBase<Kr::LkCounter<int> > > (*)(Kr::SwitcherController&, "
                                  "Kr::RCShdPtr<Kr::PiWidget> const&))";
    const std::string evFactory = "(Kr::RCStrongPtr<Kr::PiEventHandler> (*)(Kr::SwitcherController&, Kr::PiViewer&))";
    EXPECT_EQ(
        exported,
        (std::set<std::string>{
            "Kr::SwitcherTool::getSelectedImageInputName[abi:cxx11]()",
            "Kr::SwitcherTool::getOtherImagesInputName[abi:cxx11]()", "Kr::SwitcherTool::getOutputName[abi:cxx11]()",
            "Kr::SwitcherController::select(int)", "Kr::SwitcherController::registerUiFactory" + uiFactory,
            "Kr::SwitcherController::unregisterUiFactory" + uiFactory,
            "Kr::SwitcherController::registerEvFactory" + evFactory,
            "Kr::SwitcherController::unregisterEvFactory" + evFactory, "Kr::InInit<KrInit::switcherKrtool>::getType()",
            "typeinfo for Kr::SwitcherController", "typeinfo name for Kr::SwitcherController"}));
}

} // namespace
