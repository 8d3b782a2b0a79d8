// libKRswitcher.krtool as the host meets it: loaded by file name through the module loader,
// which registers and initialises its package. This program does not link the library.

#include <Kr/In.h>
#include <Kr/PiGraph.h>
#include <Kr/PiToolProtocol.h>
#include <Kr/PimUtils.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <string>

using namespace Kr;

namespace {

const std::string toolFile = std::string(KR_BIN_DIR) + "/libKRswitcher.krtool";

InPackageInit* findPackage(const std::string& name) {
    InInitMgr& packages = InInitMgr::getInstance();
    for (InPackageInit* package : packages.getRegisteredSince(0))
        if (package->getName() == name)
            return package;
    return nullptr;
}

// The demangled names of the functions and objects the file exports.
std::set<std::string> exportedSymbols(const std::string& file) {
    std::set<std::string> symbols;
    std::unique_ptr<FILE, int (*)(FILE*)> nm(::popen(("nm -DC --defined-only '" + file + "'").c_str(), "r"), ::pclose);
    if (!nm)
        return symbols;
    char line[4096];
    while (std::fgets(line, sizeof line, nm.get())) {
        std::string text(line);
        text.erase(text.find_last_not_of('\n') + 1);
        // "address type name"
        const std::size_t nameStart = text.find(' ', text.find(' ') + 1);
        if (nameStart != std::string::npos)
            symbols.insert(text.substr(nameStart + 1));
    }
    return symbols;
}

TEST(SwitcherLoading, LoadingTheFileRegistersBuildInformationThenTheTool) {
    ASSERT_EQ(PiToolRegistry::getInstance().findTool("Switcher"), nullptr);
    ASSERT_TRUE(PimUtils::load(OsFilePath(toolFile), InInitMgr::InitializeNow));

    InPackageInit* package = findPackage("switcherKrtool");
    ASSERT_NE(package, nullptr);
    EXPECT_TRUE(InInitMgr::getInstance().isInitialized(*package));
    const std::vector<std::string> dependencies = {
        InInit<KrInit::internalAPI>::getType()->name(), InInit<KrInit::primitives>::getType()->name(),
        InInit<KrInit::resmgt>::getType()->name(), InInit<KrInit::pluginAPI>::getType()->name(),
        InInit<KrInit::base>::getType()->name()};
    EXPECT_EQ(package->getDependencyKeys(), dependencies);

    const auto infos = InBuildInfoUtil::getLibraryInfos();
    auto info = std::find_if(infos.begin(), infos.end(),
                             [](const InBuildInfo* i) { return i->getModuleName() == "libKrswitcherKrtool"; });
    ASSERT_NE(info, infos.end());
    EXPECT_EQ(InBuildInfoUtil::describe(**info),
              "Corvath Zantor Library [libKrswitcherKrtool] 8.0 (2013), build 2600 of Jun 12 2012, opt.x86_64.intel");

    PiToolProtocol* tool = PiToolRegistry::getInstance().findTool("Switcher");
    ASSERT_NE(tool, nullptr);
    RCShdPtr<PiGraph> graph(new PiGraph());
    RCShdPtr<PiNode> node = graph->createNode("Switcher");
    EXPECT_EQ(node->getName(), "Switcher1");
    EXPECT_EQ(node->getNbInputs(), 2);
    EXPECT_EQ(node->getNbOutputs(), 1);
}

TEST(SwitcherLoading, ExportsExactlyItsInterface) {
    const std::set<std::string> expected = {
        "Kr::SwitcherTool::getSelectedImageInputName[abi:cxx11]()",
        "Kr::SwitcherTool::getOtherImagesInputName[abi:cxx11]()",
        "Kr::SwitcherTool::getOutputName[abi:cxx11]()",
        "Kr::SwitcherController::select(int)",
        "Kr::SwitcherController::registerUiFactory(Kr::RCShdPtr<Kr::RCBase<Kr::LkCounter<int> > > "
        "(*)(Kr::SwitcherController&, Kr::RCShdPtr<Kr::PiWidget> const&))",
        "Kr::SwitcherController::unregisterUiFactory(Kr::RCShdPtr<Kr::RCBase<Kr::LkCounter<int> > > "
        "(*)(Kr::SwitcherController&, Kr::RCShdPtr<Kr::PiWidget> const&))",
        "Kr::SwitcherController::registerEvFactory(Kr::RCStrongPtr<Kr::PiEventHandler> (*)(Kr::SwitcherController&, "
        "Kr::PiViewer&))",
        "Kr::SwitcherController::unregisterEvFactory(Kr::RCStrongPtr<Kr::PiEventHandler> "
        "(*)(Kr::SwitcherController&, Kr::PiViewer&))",
        "Kr::InInit<KrInit::switcherKrtool>::getType()",
    };
    EXPECT_EQ(exportedSymbols(toolFile), expected) << "as listed by nm -DC --defined-only " << toolFile;
}

} // namespace
