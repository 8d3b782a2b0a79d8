// SPDX-License-Identifier: Apache-2.0
#include "krhostSession.h"

#include <Kr/BrBrowser.h>
#include <Kr/InPaths.h>
#include <Kr/PiImageModifier.h>
#include <Kr/UiHotkeyRegistry.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace Kr;
namespace fs = std::filesystem;

namespace {

// A tool with what the real editors use: a menu it fills, a button opening a browser whose
// pick sets the node's "File" value as one undo step, and a viewer handler for ("/Test",
// "Next") that appends to "File".
class PickerUi : public RCBase<LkCounter<int>> {
public:
    PickerUi(PiNodeController& controller, const RCShdPtr<PiWidget>& widget)
        : _controller(controller), _browse(*this, &PickerUi::browse), _picked(*this, &PickerUi::picked) {
        auto root = widget.cast<PiContainer>();
        auto menu = root->getChild("choices").cast<PiMenu>();
        menu->appendEntry("first");
        menu->appendEntry("second");
        menu->setCurrentIndex(0, 0);
        root->getChild("Browse")->addCallback(EvWidgetCode::activate, _browse);
    }

private:
    void browse(EvEvent&) {
        if (_browser) {
            _browser->changeDisplay();
            return;
        }
        _browser = std::make_unique<BrBrowserFloatingHandler>(UiAppMgr::getInstance().getTopLevel()->getRootContainer(),
                                                              "Picker Browser", UiAppMgr::getInstance().getSelection(),
                                                              std::vector<std::string>{PiBrowserSchemes::FsScheme},
                                                              LiString(InPaths::getResourcesDir().getText()), 1);
        _browser->setActivateCb(_picked);
        _browser->changeDisplay();
    }
    void picked(EvEvent&) {
        _browser->hide();
        RCShdPtr<PiNode> node = _controller.getNode();
        PiUndoGuard guard(node->getCommandStack(), "Set File", PiExecParam());
        PiTypedValueUtil<std::string>(node->getValue("File"), 1).set(_browser->getBrowser()->getInputFocusPath());
    }

    PiNodeController& _controller;
    CbMethod<PickerUi, EvEvent> _browse;
    CbMethod<PickerUi, EvEvent> _picked;
    std::unique_ptr<BrBrowserFloatingHandler> _browser;
};

class PickerHandler : public PiEventHandler {
public:
    PickerHandler(PiNodeController& controller, PiViewer& viewer)
        : _controller(controller), _widget(dynamic_cast<UiWidget&>(viewer)),
          _entry(UiHotkeyRegistry::getInstance().getEntry("/Test", "Next")) {
        UiHotkeyRegistry::getInstance().addHotkeyHandler(_entry, _widget.getEventHandler());
    }
    ~PickerHandler() override {
        UiHotkeyRegistry::getInstance().removeHotkeyHandler(_entry, _widget.getEventHandler());
    }
    bool handleEvent(const PiEventContext& context) override {
        auto* hotkey = dynamic_cast<EvHotkeyEvent*>(&context.getEvent());
        if (!hotkey || hotkey->getEntry() != _entry)
            return false;
        auto file = _controller.getNode()->getValue("File");
        file->fromText(file->toText() + "+");
        hotkey->setProcessed(true);
        return true;
    }

private:
    PiNodeController& _controller;
    UiWidget& _widget;
    unsigned _entry;
};

class PickerController : public PiToolTopologyInterface, public PiUserInterface, public PiEventHandlingInterface {
public:
    std::string getXmlDescription() const override {
        return "<editor><container name='root'><menu name='choices'/><button name='Browse'/>"
               "<label name='file' value='File'/></container></editor>";
    }
    RCShdPtr<RCBase<LkCounter<int>>> createInstanceData(const RCShdPtr<PiWidget>& widget,
                                                        const RCShdPtr<const PiTimePath>&) override {
        return RCShdPtr<RCBase<LkCounter<int>>>(new PickerUi(*this, widget));
    }
    RCStrongPtr<PiEventHandler> createEventHandler(PiViewer& viewer, const RCShdPtr<PiNode>&,
                                                   const RCShdPtr<PiPath>&) override {
        return RCStrongPtr<PiEventHandler>(new PickerHandler(*this, viewer));
    }
};

class PickerTool : public PiCorvathToolProtocol {
public:
    PickerTool() : PiCorvathToolProtocol("Picker", getUtilityCategory(), 1, "Picks a file.", 1, 0) {}
    std::string getPrimaryInput() const override { return {}; }
    void describe(PiToolDescriptor& descriptor) override { descriptor.addValue("File", PiValueType::text); }
    OPtrRet<PiNodeController> createController() const override {
        return OPtrRet<PiNodeController>(new PickerController());
    }
};

class KrhostSession : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PiToolRegistry::getInstance().findTool("Picker"))
            PiToolRegistry::getInstance().registerTool(OPtr<PiToolProtocol>(new PickerTool()));
        prefs = fs::temp_directory_path() / ("krhostSessionTests-" + std::to_string(::getpid()));
        ::setenv("KR_PREFERENCES_DIR", prefs.c_str(), 1);
        session = std::make_unique<Krhost::Session>(out);
    }
    void TearDown() override {
        session.reset();
        ::unsetenv("KR_PREFERENCES_DIR");
        fs::remove_all(prefs);
    }
    void run(std::initializer_list<std::string> lines) {
        for (const auto& line : lines)
            session->run(line);
    }
    std::string printed() {
        std::string text = out.str();
        out.str({});
        return text;
    }
    fs::path prefs;
    std::ostringstream out;
    std::unique_ptr<Krhost::Session> session;
};

TEST_F(KrhostSession, EditorCommandsReachTheToolsEditorObject) {
    run({"create Picker K", "editor open K", "print menu K choices"});
    EXPECT_EQ(printed(), "menu choices: *first | second\n");
    run({"choose K choices 1", "print editor K"});
    EXPECT_EQ(printed(), "container root\n  menu choices: first | *second\n  button Browse\n  label file = \"\"\n");
    EXPECT_THROW(session->run("press K choices"), Krhost::KrhostError);
    EXPECT_THROW(session->run("press K nothing"), Krhost::KrhostError);
    EXPECT_THROW(session->run("choose K choices 5"), Krhost::KrhostError);
}

TEST_F(KrhostSession, BrowserCommandsPickAFileIntoTheNodeAsOneUndoStep) {
    run({"create Picker K", "editor open K", "press K Browse", "browser \"Picker Browser\" print"});
    const std::string listing = printed();
    EXPECT_NE(listing.find("browser Picker Browser (shown) at " + InPaths::getResourcesDir().getText()),
              std::string::npos)
        << listing;
    EXPECT_NE(listing.find("  hotkeys.xml\n"), std::string::npos) << listing;
    run({"browser \"Picker Browser\" pick hotkeys.xml", "print value K File", "print history"});
    const std::string after = printed();
    EXPECT_NE(after.find("K.File = " + (InPaths::getResourcesDir() / "hotkeys.xml").getText()), std::string::npos)
        << after;
    EXPECT_NE(after.find("  Set File\nredo"), std::string::npos) << after;
    EXPECT_THROW(session->run("browser Nowhere print"), Krhost::KrhostError);
    run({"undo", "print editor K"});
    EXPECT_NE(printed().find("label file = \"\""), std::string::npos);
}

TEST_F(KrhostSession, KeysPressedInAViewerReachTheNodesHandler) {
    run({"create Picker K", "bind /Test Next N", "key V N", "viewer V add K", "key V N", "key V M",
         "print value K File", "viewer V remove K", "key V N"});
    EXPECT_EQ(printed(), "key N in V: not handled\nkey N in V: handled\nkey M in V: not handled\nK.File = +\n"
                         "key N in V: not handled\n");
}

// A document that cannot be opened changes nothing: editors stay open, viewers keep their
// nodes, the document and its history stay.
TEST_F(KrhostSession, ARefusedOpenLeavesEditorsViewersAndDocumentAsTheyWere) {
    fs::create_directories(prefs);
    const fs::path broken = prefs / "broken.xml";
    std::ofstream(broken) << "<document version=\"1\"><node name=\"X\" tool=\"Gone\"/></document>";
    run({"create Picker K", "bind /Test Next N", "viewer V add K", "editor open K", "choose K choices 1"});
    EXPECT_THROW(session->run("open \"" + broken.string() + "\""), Krhost::KrhostError);
    EXPECT_THROW(session->run("open \"" + (prefs / "missing.xml").string() + "\""), Krhost::KrhostError);
    run({"print editor K", "key V N", "print history"});
    EXPECT_EQ(printed(), "container root\n  menu choices: first | *second\n  button Browse\n  label file = \"\"\n"
                         "key N in V: handled\nundo history (2 steps, oldest first)\n  Create K\n  Set File\n"
                         "redo (0 steps)\n");
}

// Removing a group takes its members along, editors and viewers included, and the document
// saved afterwards opens again.
TEST_F(KrhostSession, RemovingAGroupTakesItsMembersAlongAndTheDocumentStillOpens) {
    fs::create_directories(prefs);
    const std::string file = "\"" + (prefs / "doc.xml").string() + "\"";
    run({"group G", "group H", "ingroup H G", "create Picker K", "ingroup K H", "create Picker L", "editor open K",
         "viewer V add K", "remove G", "print graph", "save " + file, "open " + file, "print graph"});
    EXPECT_EQ(printed(), "node L (Picker)\n  value File = \n"
                         "node L (Picker)\n  value File = \n");
    EXPECT_THROW(session->run("print editor K"), Krhost::KrhostError);
}

// Every command of the table is listed in the usage text and checked against its own form.
TEST_F(KrhostSession, TheCommandTableFeedsBothTheUsageAndTheChecks) {
    const std::string usage = Krhost::Session::usage();
    for (const auto& command : Krhost::Session::commands()) {
        EXPECT_NE(usage.find(std::string("\n  ") + command.form), std::string::npos) << command.name;
        EXPECT_EQ(Krhost::Session::findCommand(command.name), &command);
        if (command.maxWords == std::size_t(-1))
            continue;
        std::string line = command.name;
        for (std::size_t i = 1; i < command.maxWords + 1; ++i)
            line += " x";
        try {
            session->run(line);
            ADD_FAILURE() << line << " was taken";
        } catch (const Krhost::KrhostError& error) {
            EXPECT_EQ(error.what(), std::string(command.name) + ": usage: " + command.form);
        }
    }
    EXPECT_EQ(Krhost::Session::findCommand("frobnicate"), nullptr);
}

} // namespace
