// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/CbHandler.h>
#include <Kr/EvEvent.h>
#include <Kr/KrExport.h>
#include <Kr/LiString.h>
#include <Kr/PiWidgets.h>
#include <Kr/RC.h>
#include <Kr/SnSelection.h>
#include <Kr/UiAppMgr.h>

#include <set>
#include <string>
#include <vector>

namespace Kr {

// Browser scheme identifiers.
struct KR_EXPORT PiBrowserSchemes {
    // The local file system, always available.
    static constexpr const char* FsScheme = "file";
    // The Linkwell media server, available once registered.
    static constexpr const char* LinkwellScheme = "linkwell";
};

// Which browser schemes the application offers.
class KR_EXPORT BrRegistry {
public:
    static BrRegistry& getInstance();

    void registerScheme(const std::string& scheme);
    void unregisterScheme(const std::string& scheme);
    bool isSchemeAvailable(const std::string& scheme) const;

private:
    BrRegistry();
    std::set<std::string> _schemes;
};

// A file browser on the local file system: the folder it shows (its URL), the entry with
// the input focus, and its layout (folder pane option, view type, folder display).
class KR_EXPORT BrBrowser : public RCBase<LkCounter<int>> {
public:
    struct Entry {
        std::string name;
        bool isFolder;
    };

    BrBrowser(std::vector<std::string> schemes, const std::string& url);
    ~BrBrowser() override;

    const std::vector<std::string>& getSchemes() const { return _schemes; }

    void setFolderOption(int paneCode) { _folderOption = paneCode; }
    int getFolderOption() const { return _folderOption; }
    void setViewType(int viewTypeCode) { _viewType = viewTypeCode; }
    int getViewType() const { return _viewType; }
    void setFolderEnabled(bool enabled) { _folderEnabled = enabled; }
    bool isFolderEnabled() const { return _folderEnabled; }
    void setExpandFoldersNodeTree(bool expand) { _expandFolders = expand; }
    bool isExpandFoldersNodeTree() const { return _expandFolders; }

    // The folder shown.
    LiString getURL() const { return LiString(_url); }
    // Shows another folder; a path that is not a folder is refused with an error.
    void setURL(const std::string& url);
    // Into a sub-folder of the one shown, or ".." for the parent.
    void enter(const std::string& name);
    // The folder's entries: sub-folders first when folders are enabled (else files only),
    // each group by name. A folder that does not exist (yet) lists nothing.
    std::vector<Entry> list() const;

    // The full path of the entry with the input focus; empty when none has it.
    LiString getInputFocusPath() const { return LiString(_focus); }
    // Gives the focus to an entry of the folder shown; an unknown name is refused.
    void focus(const std::string& name);
    // The user activates the entry with the focus: the activate callbacks are called.
    void activate();
    void addActivateCallback(CbHandler<EvEvent>& handler) { _activate.add(handler); }

private:
    std::vector<std::string> _schemes;
    std::string _url;
    std::string _focus;
    int _folderOption = 1;
    int _viewType = 1;
    bool _folderEnabled = false;
    bool _expandFolders = false;
    CbHandlerList<EvEvent> _activate;
};

// A named floating browser window. Its layout can be saved as a preset of the same name in
// the framework's preferences (browserPresets.xml in InPaths::getPreferencesDir()); a new
// browser of that name starts with the saved layout. Presets never keep a browser from
// working: a presets file that cannot be read or saved is reported once on standard error
// and the browsers keep their defaults; one that cannot be parsed is renamed to
// browserPresets.xml.broken and replaced by the next preset saved.
class KR_EXPORT BrBrowserFloatingHandler : public UiFloatingHandler {
public:
    BrBrowserFloatingHandler(const RCShdPtr<PiContainer>& rootContainer, const std::string& name,
                             const RCShdPtr<SnSelection>& selection, const std::vector<std::string>& schemes,
                             const LiString& startUrl, int bookmarkable);
    ~BrBrowserFloatingHandler() override;

    static bool hasBrowserPreset(const std::string& name);
    static void removeBrowserPreset(const std::string& name);
    // Saves the browser's layout under the handler's name.
    void saveBrowserPreset();

    // Called when the user activates an entry in the browser.
    void setActivateCb(CbHandler<EvEvent>& handler);
    RCShdPtr<BrBrowser> getBrowser() const { return _browser; }
    const RCShdPtr<SnSelection>& getSelection() const { return _selection; }
    int getBookmarkable() const { return _bookmarkable; }

private:
    void activated(EvEvent& event);

    RCShdPtr<SnSelection> _selection;
    RCShdPtr<BrBrowser> _browser;
    int _bookmarkable;
    CbMethod<BrBrowserFloatingHandler, EvEvent> _onActivate;
    CbHandler<EvEvent>* _activateCb = nullptr;
    std::weak_ptr<CbHandler<EvEvent>*> _activateLink;
};

} // namespace Kr
