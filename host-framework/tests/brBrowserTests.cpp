// SPDX-License-Identifier: Apache-2.0
#include <Kr/BrBrowser.h>
#include <Kr/InPaths.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace Kr;
namespace fs = std::filesystem;

namespace {

class Browser : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("brBrowserTests-" + std::to_string(::getpid()));
        fs::create_directories(root / "prefs");
        fs::create_directories(root / "luts" / "film");
        std::ofstream(root / "luts" / "b.lut") << "x";
        std::ofstream(root / "luts" / "a.lut") << "x";
        ::setenv("KR_PREFERENCES_DIR", (root / "prefs").c_str(), 1);
        top = RCShdPtr<UiTopLevel>(new UiTopLevel("test"));
    }
    void TearDown() override {
        ::unsetenv("KR_PREFERENCES_DIR");
        fs::remove_all(root);
    }
    std::unique_ptr<BrBrowserFloatingHandler> open(const std::string& name) {
        return std::make_unique<BrBrowserFloatingHandler>(
            top->getRootContainer(), name, UiAppMgr::getInstance().getSelection(),
            std::vector<std::string>{PiBrowserSchemes::FsScheme}, LiString((root / "luts").string()), 1);
    }
    fs::path root;
    RCShdPtr<UiTopLevel> top;
};

TEST_F(Browser, PresetsPersistInThePreferencesAndShapeLaterBrowsers) {
    EXPECT_FALSE(BrBrowserFloatingHandler::hasBrowserPreset("LUT Browser"));
    {
        auto first = open("LUT Browser");
        first->getBrowser()->setFolderOption(0);
        first->getBrowser()->setViewType(0);
        first->getBrowser()->setFolderEnabled(true);
        first->saveBrowserPreset();
    }
    EXPECT_TRUE(fs::exists(root / "prefs" / "browserPresets.xml"));
    EXPECT_TRUE(BrBrowserFloatingHandler::hasBrowserPreset("LUT Browser"));
    EXPECT_FALSE(BrBrowserFloatingHandler::hasBrowserPreset("Other"));
    auto second = open("LUT Browser");
    EXPECT_EQ(second->getBrowser()->getFolderOption(), 0);
    EXPECT_EQ(second->getBrowser()->getViewType(), 0);
    EXPECT_TRUE(second->getBrowser()->isFolderEnabled());
    EXPECT_NE(open("Other")->getBrowser()->getViewType(), 0);
    BrBrowserFloatingHandler::removeBrowserPreset("LUT Browser");
    EXPECT_FALSE(BrBrowserFloatingHandler::hasBrowserPreset("LUT Browser"));
}

TEST_F(Browser, ListsFoldersFirstWhenEnabledAndNavigates) {
    auto handler = open("B");
    auto browser = handler->getBrowser();
    EXPECT_EQ(browser->getURL().str(), (root / "luts").string());
    ASSERT_EQ(browser->list().size(), 2u);
    browser->setFolderEnabled(true);
    auto entries = browser->list();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, "film");
    EXPECT_TRUE(entries[0].isFolder);
    EXPECT_EQ(entries[1].name, "a.lut");
    browser->enter("film");
    EXPECT_TRUE(browser->list().empty());
    browser->enter("..");
    EXPECT_EQ(fs::path(browser->getURL().str()), root / "luts");
    EXPECT_THROW(browser->enter("a.lut"), ExPiError);
    EXPECT_THROW(browser->focus("missing.lut"), ExPiError);
}

TEST_F(Browser, ActivationCallsTheHandlersCallbackWithTheFocusedPath) {
    auto handler = open("B");
    struct Picked : CbHandler<EvEvent> {
        std::string path;
        BrBrowser* browser = nullptr;
        void operator()(EvEvent&) override { path = browser->getInputFocusPath().str(); }
    } picked;
    picked.browser = handler->getBrowser().get();
    handler->setActivateCb(picked);
    handler->getBrowser()->focus("b.lut");
    handler->getBrowser()->activate();
    EXPECT_EQ(picked.path, (root / "luts" / "b.lut").string());
}

TEST_F(Browser, ChangeDisplayTogglesAndTheApplicationSeesTheWindow) {
    auto handler = open("Floating");
    EXPECT_FALSE(handler->isShown());
    handler->changeDisplay();
    EXPECT_TRUE(handler->isShown());
    EXPECT_EQ(UiAppMgr::getInstance().getShownFloatingWindows(), std::vector<std::string>{"Floating"});
    handler->changeDisplay();
    EXPECT_FALSE(handler->isShown());
    handler->changeDisplay();
    handler->hide();
    EXPECT_TRUE(UiAppMgr::getInstance().getShownFloatingWindows().empty());
}

TEST_F(Browser, TheLinkwellSchemeIsAvailableOnlyWhileRegistered) {
    auto& registry = BrRegistry::getInstance();
    EXPECT_TRUE(registry.isSchemeAvailable(PiBrowserSchemes::FsScheme));
    EXPECT_FALSE(registry.isSchemeAvailable(PiBrowserSchemes::LinkwellScheme));
    EXPECT_THROW(BrBrowserFloatingHandler(top->getRootContainer(), "L", UiAppMgr::getInstance().getSelection(),
                                          {PiBrowserSchemes::FsScheme, PiBrowserSchemes::LinkwellScheme}, LiString("/"),
                                          1),
                 ExPiError);
    registry.registerScheme(PiBrowserSchemes::LinkwellScheme);
    EXPECT_TRUE(registry.isSchemeAvailable(PiBrowserSchemes::LinkwellScheme));
    registry.unregisterScheme(PiBrowserSchemes::LinkwellScheme);
    EXPECT_FALSE(registry.isSchemeAvailable(PiBrowserSchemes::LinkwellScheme));
}

// Presets are a convenience: whatever is wrong with their file, browsers open with their
// defaults, the fault is told once on standard error, and a broken file is set aside and
// replaced by the next save.
TEST_F(Browser, ABrokenPresetsFileIsSetAsideReportedOnceAndReplacedByTheNextSave) {
    const fs::path file = root / "prefs" / "browserPresets.xml";
    for (const std::string& broken :
         {std::string(), std::string("<?xml version=\"1.0\"?>\n<browserPresets>\n  <pre"), std::string("<other/>")}) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << broken;
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(BrBrowserFloatingHandler::hasBrowserPreset("LUT Browser"));
        auto handler = open("LUT Browser");
        const std::string told = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(handler->getBrowser()->getViewType(), 1);
        EXPECT_FALSE(fs::exists(file));
        std::ifstream aside(root / "prefs" / "browserPresets.xml.broken", std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), broken);
        if (broken.empty()) {
            EXPECT_NE(told.find("browserPresets.xml.broken"), std::string::npos) << told;
        }
        EXPECT_LE(std::count(told.begin(), told.end(), '\n'), 1) << told;

        handler->getBrowser()->setViewType(0);
        handler->saveBrowserPreset();
        EXPECT_TRUE(BrBrowserFloatingHandler::hasBrowserPreset("LUT Browser"));
        EXPECT_EQ(open("LUT Browser")->getBrowser()->getViewType(), 0);
    }
}

TEST_F(Browser, PresetsThatCannotBeSavedAreReportedOnceAndTheBrowserKeepsWorking) {
    // A file where the preferences folder should be: nothing can be written there, even by root.
    const fs::path blocked = root / "not-a-folder";
    std::ofstream(blocked) << "x";
    ::setenv("KR_PREFERENCES_DIR", blocked.c_str(), 1);
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i) {
        auto handler = open("LUT Browser");
        handler->getBrowser()->setViewType(0);
        EXPECT_NO_THROW(handler->saveBrowserPreset());
        EXPECT_FALSE(BrBrowserFloatingHandler::hasBrowserPreset("LUT Browser"));
        handler->changeDisplay();
        EXPECT_TRUE(handler->isShown());
        EXPECT_EQ(handler->getBrowser()->list().size(), 2u);
    }
    const std::string told = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;
    EXPECT_NE(told.find("cannot be saved"), std::string::npos) << told;
}

} // namespace
