// SPDX-License-Identifier: Apache-2.0
// The LUT 1D editor: the Refresh button reloads the node's LUT, the Browse button opens the
// "LUT Browser" on the LUT folders, and a file activated there becomes the node's file name.
// Each change is one undo step. The browser's last folder is remembered across editors for
// as long as the module is loaded.

#include "lut1DUi.h"

#include "lut1DInterface.h"

#include <Kr/BrBrowser.h>
#include <Kr/CbHandler.h>
#include <Kr/EvEvent.h>
#include <Kr/Ex.h>
#include <Kr/InPaths.h>
#include <Kr/LiString.h>
#include <Kr/OsFilePath.h>
#include <Kr/PiGraph.h>
#include <Kr/PiNode.h>
#include <Kr/PiUndo.h>
#include <Kr/PiValue.h>
#include <Kr/PiWidgets.h>
#include <Kr/RCExUtil.h>
#include <Kr/UiAppMgr.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// Built when the module is loaded, destroyed when it is unloaded.
const std::string refreshButtonName("Refresh");
const std::string browseButtonName("Browse");
const std::string fileTextFieldName("Filename");

// Where the last browser was when its editor closed; empty until then.
std::string lastBrowserUrl;

// Assertion failures carry the source path as the system has always reported it.
const char* const assertionSourcePath = "tools\\lut1D\\src\\lut1DUi";

const char* const browserName = "LUT Browser";
const char* const defaultLutFolder = "luts";
const char* const refreshLabel = "Refresh LUT";
const char* const setFilenameLabel = "Set Filename";

constexpr int activateEventCode = 23;
constexpr int checkNullMode = 1;
constexpr int maxFileNameLength = 1024;
constexpr int bookmarkableCode = 1;
constexpr int defaultPaneCode = 0;
constexpr int defaultViewTypeCode = 0;

} // namespace

namespace Kr {

class Lut1DUi : public RCBase<LkCounter<int>> {
public:
    Lut1DUi(const RCShdPtr<PiWidget>& widget, const RCShdPtr<PiValue>& value, Lut1DInterface* lut1DInterface);
    Lut1DUi(const Lut1DUi&) = delete;
    Lut1DUi& operator=(const Lut1DUi&) = delete;
    ~Lut1DUi() override;

private:
    void refreshPressed(EvEvent& event);
    void browsePressed(EvEvent& event);
    void browserActivated(EvEvent& event);
    PiCommandStack& getCommandStack() const;

    PiTypedValueUtil<std::string> _value;
    Lut1DInterface* _lut1DInterface;
    CbMethod<Lut1DUi, EvEvent> _refreshCb;
    CbMethod<Lut1DUi, EvEvent> _browseCb;
    CbMethod<Lut1DUi, EvEvent> _activateCb;
    BrBrowserFloatingHandler* _browserHandler;
};

Lut1DUi::Lut1DUi(const RCShdPtr<PiWidget>& widget, const RCShdPtr<PiValue>& value, Lut1DInterface* lut1DInterface)
    : _value(value, checkNullMode), _lut1DInterface(lut1DInterface), _refreshCb(*this, &Lut1DUi::refreshPressed),
      _browseCb(*this, &Lut1DUi::browsePressed), _activateCb(*this, &Lut1DUi::browserActivated),
      _browserHandler(nullptr) {
    // A null widget casts to an empty container, whose first use names PiContainer.
    RCShdPtr<PiContainer> container = widget.cast<PiContainer>();

    RCShdPtr<PiWidget> refreshButton = container->getChild(refreshButtonName);
    if (refreshButton.isNull())
        Assertions::throwAssertionFailed(assertionSourcePath, __LINE__, "!refreshButton.isNull()");
    refreshButton->addCallback(activateEventCode, _refreshCb);

    RCShdPtr<PiWidget> browseButton = container->getChild(browseButtonName);
    if (browseButton.isNull())
        Assertions::throwAssertionFailed(assertionSourcePath, __LINE__, "!browseButton.isNull()");
    browseButton->addCallback(activateEventCode, _browseCb);

    RCShdPtr<PiTextField> fileTextField = container->getChild(fileTextFieldName).cast<PiTextField>();
    if (fileTextField.isNull())
        Assertions::throwAssertionFailed(assertionSourcePath, __LINE__, "!fileTextField.isNull()");
    fileTextField->setMaxLength(maxFileNameLength);
}

Lut1DUi::~Lut1DUi() {
    if (_browserHandler) {
        lastBrowserUrl = _browserHandler->getBrowser()->getURL();
        delete _browserHandler;
    }
}

PiCommandStack& Lut1DUi::getCommandStack() const {
    if (!_lut1DInterface)
        RCExUtil::throwExNullPtr("Lut1DInterface");
    return _lut1DInterface->getNode()->getGraph()->getCommandStack();
}

void Lut1DUi::refreshPressed(EvEvent&) {
    PiUndoGuard guard(getCommandStack(), refreshLabel, PiExecParam());
    _lut1DInterface->refreshLut();
}

void Lut1DUi::browsePressed(EvEvent&) {
    if (_browserHandler) {
        _browserHandler->changeDisplay();
        return;
    }

    std::vector<std::string> schemes{PiBrowserSchemes::FsScheme};
    if (BrRegistry::getInstance().isSchemeAvailable(PiBrowserSchemes::LinkwellScheme))
        schemes.push_back(PiBrowserSchemes::LinkwellScheme);

    const bool hasPreset = BrBrowserFloatingHandler::hasBrowserPreset(browserName);

    OsFilePath startLocation =
        lastBrowserUrl.empty() ? InPaths::getResourcesDir().append(defaultLutFolder) : OsFilePath(lastBrowserUrl);

    UiAppMgr& appMgr = UiAppMgr::getInstance();
    RCShdPtr<UiTopLevel> topLevel = appMgr.getTopLevel();
    // Kept here until it is fully set up, so that a failure on the way stores no half-made
    // browser and the next Browse tries again.
    auto handler =
        std::make_unique<BrBrowserFloatingHandler>(topLevel->getRootContainer(), browserName, appMgr.getSelection(),
                                                   schemes, LiString(startLocation.getText()), bookmarkableCode);
    handler->setActivateCb(_activateCb);

    RCShdPtr<BrBrowser> browser = handler->getBrowser();
    // The defaults only the first time: a layout the user saved later wins.
    if (!hasPreset) {
        browser->setFolderOption(defaultPaneCode);
        browser->setViewType(defaultViewTypeCode);
        handler->saveBrowserPreset();
    }
    browser->setFolderEnabled(true);
    browser->setExpandFoldersNodeTree(true);

    _browserHandler = handler.release();
    _browserHandler->changeDisplay();
}

void Lut1DUi::browserActivated(EvEvent&) {
    _browserHandler->hide();
    PiUndoGuard guard(getCommandStack(), setFilenameLabel, PiExecParam());
    // Written as the browser gives it: an empty or non-LUT path is the reload's to refuse.
    const std::string path = _browserHandler->getBrowser()->getInputFocusPath();
    _value.set(path);
}

RCShdPtr<RCBase<LkCounter<int>>> createLut1DUi(const RCShdPtr<PiWidget>& widget, const RCShdPtr<PiValue>& value,
                                               Lut1DInterface* lut1DInterface) {
    return RCShdPtr<RCBase<LkCounter<int>>>(new Lut1DUi(widget, value, lut1DInterface));
}

} // namespace Kr
