// SPDX-License-Identifier: Apache-2.0
// The LUT 1D editor as the host meets it: the tool linked (as the module links it), the module
// loaded by file name and unloaded after each test, so that its remembered browser location
// starts empty. Documents, editors, browsers and presets are the framework's own.

#include "lut1DInterface.h"

#include <Kr/BrBrowser.h>
#include <Kr/Ex.h>
#include <Kr/InPaths.h>
#include <Kr/PiEditor.h>
#include <Kr/PiGraph.h>
#include <Kr/PiImageModifier.h>
#include <Kr/PiNode.h>
#include <Kr/PiToolProtocol.h>
#include <Kr/PiValue.h>
#include <Kr/PiWidgets.h>
#include <Kr/PimUtils.h>
#include <Kr/PxImage.h>
#include <Kr/UiAppMgr.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <unistd.h>

using namespace Kr;
namespace fs = std::filesystem;

namespace {

const OsFilePath moduleFile(std::string(KR_BIN_DIR) + "/libKRlut1DUi.krmodule");

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Each channel x becomes 1 - x.
const std::string invertCube = "TITLE \"invert\"\nLUT_1D_SIZE 2\n1 1 1\n0 0 0\n";
// Each channel x becomes x / 2.
const std::string halveCube = "LUT_1D_SIZE 3\n0 0 0\n0.25 0.25 0.25\n0.5 0.5 0.5\n";

class Lut1DEditor : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("lut1DUiTests-" + std::to_string(::getpid()));
        fs::create_directories(root / "prefs");
        fs::create_directories(root / "grades" / "film");
        writeFile(root / "grades" / "a.cube", invertCube);
        writeFile(root / "grades" / "b.spi1d", "Version 1\nLength 2\n{\n0\n1\n}\n");
        ::setenv("KR_PREFERENCES_DIR", (root / "prefs").c_str(), 1);
        BrRegistry::getInstance().unregisterScheme(PiBrowserSchemes::LinkwellScheme);
        UiAppMgr::getInstance().setTopLevel(RCShdPtr<UiTopLevel>(new UiTopLevel("lut1DUiTests")));
        ASSERT_TRUE(PimUtils::load(moduleFile, InInitMgr::InitializeNow));
        graph = RCShdPtr<PiGraph>(new PiGraph());
    }

    void TearDown() override {
        // The editor objects' code lives in the module: they go before it is unloaded.
        for (auto& editor : editors)
            editor->close();
        editors.clear();
        graph.reset();
        PimUtils::unload(moduleFile);
        UiAppMgr::getInstance().setTopLevel({});
        BrRegistry::getInstance().unregisterScheme(PiBrowserSchemes::LinkwellScheme);
        ::unsetenv("KR_PREFERENCES_DIR");
        fs::remove_all(root);
    }

    RCShdPtr<PiNode> createLutNode(const std::string& name) { return graph->createNode("LUT 1D", name); }

    RCShdPtr<PiEditor> openEditor(const RCShdPtr<PiNode>& node) {
        editors.push_back(PiEditor::open(node));
        return editors.back();
    }

    static void press(const RCShdPtr<PiEditor>& editor, const std::string& button) {
        editor->findWidget(button).cast<PiButton>()->press();
    }

    static BrBrowserFloatingHandler& lutBrowser() {
        auto* handler =
            dynamic_cast<BrBrowserFloatingHandler*>(UiAppMgr::getInstance().findFloatingWindow("LUT Browser"));
        if (!handler)
            throw std::runtime_error("no \"LUT Browser\" is open");
        return *handler;
    }

    static std::string fileNameOf(const RCShdPtr<PiNode>& node) { return node->getValue("Filename")->toText(); }

    // The LUT node fed by a 2 x 1 plate of one colour; the first pixel of its output.
    RCShdPtr<PiNode> createGradedPlate(const std::string& lutFile) {
        RCShdPtr<PiNode> plate = graph->createNode("Constant", "Plate");
        plate->getValue("Color")->fromText("0.25 0.5 1 0.75");
        plate->getValue("Width")->fromText("2");
        plate->getValue("Height")->fromText("1");
        RCShdPtr<PiNode> lut = createLutNode("Grade");
        lut->getInput(PiImageModifier::getInputName())->connect(plate->getOutputAt(0));
        lut->getValue("Filename")->fromText(lutFile);
        return lut;
    }

    std::vector<float> firstPixel(const RCShdPtr<PiNode>& lut) {
        const PxImage image = pxRenderImage(graph->getProcNode(lut->getOutput(PiImageModifier::getOutputName())));
        return {image.at(0, 0), image.at(0, 0) + 4};
    }

    std::vector<std::string> undoLabels() const { return graph->getCommandStack().getUndoLabels(); }

    fs::path root;
    RCShdPtr<PiGraph> graph;
    std::vector<RCShdPtr<PiEditor>> editors;
};

TEST_F(Lut1DEditor, FirstBrowseOpensAtTheResourceLutsWithDefaultLayoutAndSavesIt) {
    ASSERT_FALSE(BrBrowserFloatingHandler::hasBrowserPreset("LUT Browser"));
    RCShdPtr<PiEditor> editor = openEditor(createLutNode("L"));
    EXPECT_EQ(editor->findWidget("Filename").cast<PiTextField>()->getMaxLength(), 1024);

    press(editor, "Browse");
    BrBrowserFloatingHandler& handler = lutBrowser();
    RCShdPtr<BrBrowser> browser = handler.getBrowser();
    EXPECT_TRUE(handler.isShown());
    EXPECT_EQ(browser->getURL().str(), (InPaths::getResourcesDir() / "luts").getText());
    EXPECT_EQ(browser->getSchemes(), std::vector<std::string>{PiBrowserSchemes::FsScheme});
    EXPECT_EQ(browser->getFolderOption(), 0);
    EXPECT_EQ(browser->getViewType(), 0);
    EXPECT_TRUE(browser->isFolderEnabled());
    EXPECT_TRUE(browser->isExpandFoldersNodeTree());
    EXPECT_EQ(handler.getBookmarkable(), 1);
    EXPECT_EQ(handler.getSelection(), UiAppMgr::getInstance().getSelection());
    EXPECT_EQ(handler.getRootContainer(), UiAppMgr::getInstance().getTopLevel()->getRootContainer());
    EXPECT_TRUE(BrBrowserFloatingHandler::hasBrowserPreset("LUT Browser"));

    // Browse again toggles that very browser.
    press(editor, "Browse");
    EXPECT_EQ(&lutBrowser(), &handler);
    EXPECT_FALSE(handler.isShown());
    press(editor, "Browse");
    EXPECT_EQ(&lutBrowser(), &handler);
    EXPECT_TRUE(handler.isShown());
    EXPECT_EQ(UiAppMgr::getInstance().getShownFloatingWindows(), std::vector<std::string>{"LUT Browser"});
}

TEST_F(Lut1DEditor, ALayoutSavedLaterIsNotResetByTheNextEditorsBrowser) {
    RCShdPtr<PiEditor> first = openEditor(createLutNode("L1"));
    press(first, "Browse");
    const RCShdPtr<BrBrowser> firstBrowser = lutBrowser().getBrowser();
    lutBrowser().getBrowser()->setFolderOption(2);
    lutBrowser().getBrowser()->setViewType(3);
    lutBrowser().getBrowser()->setFolderEnabled(false);
    lutBrowser().saveBrowserPreset();

    RCShdPtr<PiEditor> second = openEditor(createLutNode("L2"));
    press(second, "Browse");
    RCShdPtr<BrBrowser> browser = lutBrowser().getBrowser();
    EXPECT_NE(browser, firstBrowser);
    EXPECT_EQ(browser->getFolderOption(), 2);
    EXPECT_EQ(browser->getViewType(), 3);
    // Folders are enabled and the tree expanded whatever the preset says.
    EXPECT_TRUE(browser->isFolderEnabled());
    EXPECT_TRUE(browser->isExpandFoldersNodeTree());
}

TEST_F(Lut1DEditor, LinkwellIsOfferedSecondOnlyWhileAvailable) {
    press(openEditor(createLutNode("L1")), "Browse");
    EXPECT_EQ(lutBrowser().getBrowser()->getSchemes(), std::vector<std::string>{PiBrowserSchemes::FsScheme});

    BrRegistry::getInstance().registerScheme(PiBrowserSchemes::LinkwellScheme);
    press(openEditor(createLutNode("L2")), "Browse");
    EXPECT_EQ(lutBrowser().getBrowser()->getSchemes(),
              (std::vector<std::string>{PiBrowserSchemes::FsScheme, PiBrowserSchemes::LinkwellScheme}));
}

TEST_F(Lut1DEditor, ActivatingAFileHidesTheBrowserAndSetsTheFileNameAsOneUndoStep) {
    RCShdPtr<PiNode> node = createLutNode("L");
    node->getValue("Filename")->fromText("old.cube");
    graph->getCommandStack().clear();
    RCShdPtr<PiEditor> editor = openEditor(node);
    press(editor, "Browse");
    RCShdPtr<BrBrowser> browser = lutBrowser().getBrowser();
    browser->setURL((root / "grades").string());
    browser->focus("a.cube");
    browser->activate();

    const std::string picked = (root / "grades" / "a.cube").string();
    EXPECT_FALSE(lutBrowser().isShown());
    EXPECT_EQ(fileNameOf(node), picked);
    EXPECT_EQ(editor->findWidget("Filename").cast<PiTextField>()->getText(), picked);
    EXPECT_EQ(undoLabels(), std::vector<std::string>{"Set Filename"});

    graph->getCommandStack().undo();
    EXPECT_EQ(fileNameOf(node), "old.cube");

    // No check on what is picked: a folder, or nothing at all, is written as it comes.
    press(editor, "Browse");
    browser->focus("film");
    browser->activate();
    EXPECT_EQ(fileNameOf(node), (root / "grades" / "film").string());
    browser->setURL((root / "grades").string());
    browser->activate();
    EXPECT_EQ(fileNameOf(node), "");
}

TEST_F(Lut1DEditor, RefreshIsOneUndoStepAndTheImageFollowsTheFileOnDisk) {
    const fs::path lutFile = root / "grades" / "grade.cube";
    writeFile(lutFile, invertCube);
    RCShdPtr<PiNode> lut = createGradedPlate(lutFile.string());
    EXPECT_EQ(firstPixel(lut), (std::vector<float>{0.25f, 0.5f, 1, 0.75f}));
    graph->getCommandStack().clear();

    RCShdPtr<PiEditor> editor = openEditor(lut);
    press(editor, "Refresh");
    EXPECT_EQ(undoLabels(), std::vector<std::string>{"Refresh LUT"});
    EXPECT_EQ(firstPixel(lut), (std::vector<float>{0.75f, 0.5f, 0, 0.75f}));

    writeFile(lutFile, halveCube);
    press(editor, "Refresh");
    EXPECT_EQ(undoLabels(), (std::vector<std::string>{"Refresh LUT", "Refresh LUT"}));
    EXPECT_EQ(firstPixel(lut), (std::vector<float>{0.125f, 0.25f, 0.5f, 0.75f}));

    graph->getCommandStack().undo();
    EXPECT_EQ(firstPixel(lut), (std::vector<float>{0.75f, 0.5f, 0, 0.75f}));

    // The table travels with the document, whatever happens to the file.
    fs::remove(lutFile);
    const std::string saved = graph->saveToText();
    graph = RCShdPtr<PiGraph>(new PiGraph());
    graph->loadFromText(saved, "saved document");
    EXPECT_EQ(firstPixel(graph->findNode("Grade")), (std::vector<float>{0.75f, 0.5f, 0, 0.75f}));
}

TEST_F(Lut1DEditor, AFileThatCannotBeReadFailsTheRefreshNamingFileAndLineAndKeepsTheLut) {
    const fs::path lutFile = root / "grades" / "grade.cube";
    writeFile(lutFile, invertCube);
    RCShdPtr<PiNode> lut = createGradedPlate(lutFile.string());
    RCShdPtr<PiEditor> editor = openEditor(lut);
    press(editor, "Refresh");
    const std::vector<std::string> stepsBefore = undoLabels();

    writeFile(lutFile, "LUT_1D_SIZE 2\n0 0 0\n1 one 1\n");
    try {
        press(editor, "Refresh");
        FAIL() << "a bad table was read";
    } catch (const ExBase& e) {
        EXPECT_EQ(e.getFile(), lutFile.string());
        EXPECT_EQ(e.getLine(), 3);
        EXPECT_NE(e.getText().find("\"one\""), std::string::npos) << e.getText();
    }
    EXPECT_FALSE(graph->getCommandStack().isStepOpen());
    EXPECT_EQ(undoLabels(), stepsBefore);
    EXPECT_EQ(firstPixel(lut), (std::vector<float>{0.75f, 0.5f, 0, 0.75f}));

    fs::remove(lutFile);
    try {
        press(editor, "Refresh");
        FAIL() << "a missing file was read";
    } catch (const ExBase& e) {
        EXPECT_EQ(e.getFile(), lutFile.string());
        EXPECT_NE(e.getMessage().find("no such file"), std::string::npos) << e.getMessage();
    }
    lut->getValue("Filename")->fromText("");
    EXPECT_THROW(press(editor, "Refresh"), ExBase);
    EXPECT_EQ(firstPixel(lut), (std::vector<float>{0.75f, 0.5f, 0, 0.75f}));
}

TEST_F(Lut1DEditor, TheBrowserFolderIsRememberedAcrossEditorsButNotByEditorsThatNeverBrowsed) {
    RCShdPtr<PiNode> node = createLutNode("L");
    RCShdPtr<PiEditor> first = openEditor(node);
    press(first, "Browse");
    lutBrowser().getBrowser()->setURL((root / "grades" / "film").string());
    first->close();

    openEditor(node)->close();

    press(openEditor(node), "Browse");
    EXPECT_EQ(lutBrowser().getBrowser()->getURL().str(), (root / "grades" / "film").string());
}

TEST_F(Lut1DEditor, WithoutATopLevelWindowBrowseFailsAndTheNextBrowseTriesAgain) {
    RCShdPtr<PiEditor> editor = openEditor(createLutNode("L"));
    UiAppMgr::getInstance().setTopLevel({});
    try {
        press(editor, "Browse");
        FAIL() << "a browser was made without a window";
    } catch (const ExNullPtr& e) {
        EXPECT_EQ(e.getTypeName(), "UiTopLevel");
    }
    EXPECT_EQ(UiAppMgr::getInstance().findFloatingWindow("LUT Browser"), nullptr);

    UiAppMgr::getInstance().setTopLevel(RCShdPtr<UiTopLevel>(new UiTopLevel("again")));
    press(editor, "Browse");
    EXPECT_TRUE(lutBrowser().isShown());
}

// Editor descriptions the module cannot work with, given straight to the factory the module
// stored in the tool.
TEST_F(Lut1DEditor, EditorsMissingAWidgetOrWithTheWrongKindAreRefused) {
    Lut1DInterface::UiFactory factory = Lut1DInterface::getUiFactory();
    ASSERT_NE(factory, nullptr);
    RCShdPtr<PiNode> node = createLutNode("L");
    auto* lut1DInterface = dynamic_cast<Lut1DInterface*>(node->getController());
    ASSERT_NE(lut1DInterface, nullptr);
    RCShdPtr<PiValue> value = node->getValue("Filename");

    auto editorWith = [](std::vector<RCShdPtr<PiWidget>> children) {
        RCShdPtr<PiContainer> root(new PiContainer("root"));
        for (const auto& child : children)
            root->addChild(child);
        return RCShdPtr<PiWidget>(root);
    };
    auto assertionOf = [&](const RCShdPtr<PiWidget>& widget) -> std::string {
        try {
            factory(widget, value, lut1DInterface);
        } catch (const ExAssertionFailed& e) {
            EXPECT_EQ(e.getFile(), "tools\\lut1D\\src\\lut1DUi");
            return e.getText();
        }
        return "no failure";
    };
    const RCShdPtr<PiWidget> refresh(new PiButton("Refresh"));
    const RCShdPtr<PiWidget> browse(new PiButton("Browse"));
    const RCShdPtr<PiWidget> field(new PiTextField("Filename"));

    EXPECT_EQ(assertionOf(editorWith({browse, field})), "!refreshButton.isNull()");
    EXPECT_EQ(assertionOf(editorWith({refresh, field})), "!browseButton.isNull()");
    EXPECT_EQ(assertionOf(editorWith({refresh, browse})), "!fileTextField.isNull()");
    // A refused editor leaves nothing registered on the widgets it got to.
    EXPECT_EQ(refresh->getNbCallbacks(23), 0);

    try {
        factory(editorWith({refresh, browse, RCShdPtr<PiWidget>(new PiButton("Filename"))}), value, lut1DInterface);
        FAIL() << "a button was taken for the file-name field";
    } catch (const ExCastFailed& e) {
        EXPECT_EQ(e.getTargetType(), "PiTextField");
    }
    try {
        factory(RCShdPtr<PiWidget>(new PiButton("root")), value, lut1DInterface);
        FAIL() << "a button was taken for the editor's container";
    } catch (const ExCastFailed& e) {
        EXPECT_EQ(e.getTargetType(), "PiContainer");
    }
    try {
        factory(RCShdPtr<PiWidget>(), value, lut1DInterface);
        FAIL() << "an editor was made without widgets";
    } catch (const ExNullPtr& e) {
        EXPECT_EQ(e.getTypeName(), "PiContainer");
    }

    RCShdPtr<RCBase<LkCounter<int>>> made = factory(editorWith({refresh, browse, field}), value, lut1DInterface);
    EXPECT_FALSE(made.isNull());
    EXPECT_EQ(refresh->getNbCallbacks(23), 1);
}

TEST_F(Lut1DEditor, RefreshAndPickWithoutNodeGraphOrStringValueFailAndChangeNothing) {
    auto editorWidgets = [] {
        RCShdPtr<PiContainer> root(new PiContainer("root"));
        root->addChild(RCShdPtr<PiWidget>(new PiButton("Refresh")));
        root->addChild(RCShdPtr<PiWidget>(new PiButton("Browse")));
        root->addChild(RCShdPtr<PiWidget>(new PiTextField("Filename")));
        return root;
    };
    auto nullPointerNamed = [](const std::function<void()>& action) -> std::string {
        try {
            action();
        } catch (const ExNullPtr& e) {
            return e.getTypeName();
        }
        return "no failure";
    };
    auto pressOn = [](const RCShdPtr<PiContainer>& root, const std::string& name) {
        root->getChild(name).cast<PiButton>()->press();
    };

    // A controller not (or no longer) attached to a node in a document.
    OPtr<PiNodeController> detached(PiToolRegistry::getInstance().findTool("LUT 1D")->createController());
    RCShdPtr<PiContainer> detachedWidgets = editorWidgets();
    RCShdPtr<RCBase<LkCounter<int>>> detachedEditor = Lut1DInterface::getUiFactory()(
        detachedWidgets, RCShdPtr<PiValue>(), dynamic_cast<Lut1DInterface*>(detached.get()));
    EXPECT_EQ(nullPointerNamed([&] { pressOn(detachedWidgets, "Refresh"); }), "PiNode");

    RCShdPtr<PiNode> removed = createLutNode("Removed");
    RCShdPtr<PiContainer> removedWidgets = editorWidgets();
    RCShdPtr<RCBase<LkCounter<int>>> removedEditor = Lut1DInterface::getUiFactory()(
        removedWidgets, removed->getValue("Filename"), dynamic_cast<Lut1DInterface*>(removed->getController()));
    graph->removeNode(removed);
    EXPECT_EQ(nullPointerNamed([&] { pressOn(removedWidgets, "Refresh"); }), "PiGraph");

    // An editor given a value that is no text: the pick fails inside its closed step.
    RCShdPtr<PiNode> node = createLutNode("L");
    RCShdPtr<PiContainer> widgets = editorWidgets();
    RCShdPtr<RCBase<LkCounter<int>>> editor =
        Lut1DInterface::getUiFactory()(widgets, node->getValue(PiImageModifier::getMuteValueName()),
                                       dynamic_cast<Lut1DInterface*>(node->getController()));
    pressOn(widgets, "Browse");
    const std::vector<std::string> stepsBefore = undoLabels();
    lutBrowser().getBrowser()->setURL((root / "grades").string());
    lutBrowser().getBrowser()->focus("a.cube");
    EXPECT_EQ(nullPointerNamed([&] { lutBrowser().getBrowser()->activate(); }), "PiTypedValue<std::string>");
    EXPECT_FALSE(graph->getCommandStack().isStepOpen());
    EXPECT_EQ(undoLabels(), stepsBefore);
    EXPECT_EQ(fileNameOf(node), "");
    EXPECT_EQ(node->getValue(PiImageModifier::getMuteValueName())->toText(), "0");
}

TEST_F(Lut1DEditor, TheModuleNeedsTheToolFirstAndUnloadingItLeavesTheToolWithoutFactory) {
    const std::size_t before = InInitMgr::getInstance().getRegisteredCount();
    PimUtils::unload(moduleFile);
    EXPECT_EQ(Lut1DInterface::getUiFactory(), nullptr);
    RCShdPtr<PiNode> node = createLutNode("L");
    EXPECT_TRUE(openEditor(node)->getInstanceData().isNull());

    ASSERT_TRUE(PimUtils::load(moduleFile, InInitMgr::InitializeNow));
    EXPECT_NE(Lut1DInterface::getUiFactory(), nullptr);
    EXPECT_FALSE(openEditor(node)->getInstanceData().isNull());

    const std::vector<InPackageInit*> loaded = InInitMgr::getInstance().getRegisteredSince(before - 1);
    ASSERT_FALSE(loaded.empty());
    const InPackageInit& module = *loaded.back();
    EXPECT_STREQ(module.getName(), "lut1DUiKrmodule");
    using namespace KrInit;
    const std::vector<std::string> expected{
        InInit<lut1DKrtool>::getType()->name(), InInit<appUi>::getType()->name(),
        InInit<ui>::getType()->name(),          InInit<internalAPI>::getType()->name(),
        InInit<primitives>::getType()->name(),  InInit<resmgt>::getType()->name(),
        InInit<pluginAPI>::getType()->name(),   InInit<base>::getType()->name()};
    EXPECT_EQ(module.getDependencyKeys(), expected);
}

// A document whose table cannot be read would fail only at its first render; it is refused
// when it is opened, naming the node, the value and the line, and the current one stays.
TEST_F(Lut1DEditor, ADocumentWhoseTableIsNotA1DLutIsRefusedAtOpenNamingNodeValueAndLine) {
    RCShdPtr<PiNode> lut = createGradedPlate((root / "grades" / "a.cube").string());
    openEditor(lut);
    press(editors.back(), "Refresh");
    const std::string good = graph->saveToText();
    const std::string current = good;
    RCShdPtr<PiGraph> reopened(new PiGraph());
    reopened->loadFromText(good, "good.xml");
    EXPECT_EQ(reopened->saveToText(), good);

    const std::size_t table = good.find("LUT_1D_SIZE 2");
    ASSERT_NE(table, std::string::npos);
    const std::string bad =
        good.substr(0, table) + "LUT_1D_SIZE 2\n1 1 one" + good.substr(good.find("</value>", table));
    const int line = static_cast<int>(std::count(bad.begin(), bad.begin() + table, '\n')) + 1;
    try {
        graph->loadFromText(bad, "bad.xml");
        FAIL() << "opened a document holding a broken table";
    } catch (const ExBase& error) {
        const std::string text = error.getText();
        EXPECT_NE(text.find("bad.xml\": line " + std::to_string(line) + ": node \"Grade\", value \"LUT\""),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find("not a valid 1D table"), std::string::npos) << text;
        EXPECT_NE(text.find("\"one\""), std::string::npos) << text;
    }
    EXPECT_EQ(graph->saveToText(), current);
    EXPECT_EQ(firstPixel(lut)[0], 0.75f);
}

// Presets that cannot be read or saved never keep the LUT Browser from opening.
TEST_F(Lut1DEditor, BrowseOpensTheBrowserWhateverIsWrongWithThePresets) {
    RCShdPtr<PiEditor> editor = openEditor(createLutNode("L"));
    writeFile(root / "prefs" / "browserPresets.xml", "");
    ::testing::internal::CaptureStderr();
    press(editor, "Browse");
    EXPECT_TRUE(lutBrowser().isShown());
    EXPECT_EQ(lutBrowser().getBrowser()->getViewType(), 0);
    EXPECT_TRUE(fs::exists(root / "prefs" / "browserPresets.xml.broken"));
    EXPECT_TRUE(BrBrowserFloatingHandler::hasBrowserPreset("LUT Browser"));

    writeFile(root / "blocked", "x");
    ::setenv("KR_PREFERENCES_DIR", (root / "blocked").c_str(), 1);
    for (int i = 0; i < 2; ++i) {
        RCShdPtr<PiEditor> another = openEditor(createLutNode("M" + std::to_string(i)));
        press(another, "Browse");
        EXPECT_TRUE(lutBrowser().isShown());
        EXPECT_TRUE(lutBrowser().getBrowser()->isFolderEnabled());
    }
    const std::string told = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 2) << told; // set aside once, not saved once
}

} // namespace
