// SPDX-License-Identifier: Apache-2.0
#include <Kr/BrBrowser.h>

#include <Kr/InPaths.h>
#include <Kr/PiErrors.h>

#include "piXmlTree.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>

namespace Kr {

namespace fs = std::filesystem;

namespace {

struct Layout {
    int folderOption = 1;
    int viewType = 1;
    bool folderEnabled = false;
    bool expandFolders = false;
};

fs::path presetsFile() {
    return fs::path(InPaths::getPreferencesDir().getText()) / "browserPresets.xml";
}

// Presets are a convenience: failing to read or save them must never keep a browser from
// opening. Each failure is told once on standard error, and the browsers take their defaults.
void reportOnce(const std::string& message) {
    static std::set<std::string> reported;
    if (reported.insert(message).second)
        std::cerr << "warning: " << message << "\n";
}

// A presets file that cannot be parsed is renamed out of the way (replacing one set aside
// before), so that the next save writes a good one and the user can still look at it.
void setAside(const fs::path& file, const std::string& why) {
    const fs::path aside = file.string() + ".broken";
    std::error_code error;
    fs::rename(file, aside, error);
    if (error)
        reportOnce("browser presets \"" + file.string() + "\" are ignored (" + why +
                   ") and cannot be set aside: " + error.message());
    else
        reportOnce("browser presets \"" + file.string() + "\" are ignored (" + why + "); the file is kept as \"" +
                   aside.string() + "\" and replaced by the next preset saved");
}

std::map<std::string, Layout> readPresets() {
    std::map<std::string, Layout> presets;
    const fs::path file = presetsFile();
    std::error_code error;
    if (!fs::exists(file, error))
        return presets;
    std::string text;
    try {
        text = PiXml::readFile(file.string(), "cannot read browser presets");
    } catch (const ExPiError& failure) {
        reportOnce(failure.getText() + "; the browsers start with their defaults");
        return presets;
    }
    std::unique_ptr<PiXml::Element> root;
    try {
        root = PiXml::parse(text, file.string());
    } catch (const ExPiError& failure) {
        setAside(file, failure.getText());
        return presets;
    }
    if (root->name != "browserPresets") {
        setAside(file, "its root element is <" + root->name + ">, not <browserPresets>");
        return presets;
    }
    for (const auto& preset : root->children) {
        Layout layout;
        layout.folderOption = std::atoi(preset->get("folderOption").c_str());
        layout.viewType = std::atoi(preset->get("viewType").c_str());
        layout.folderEnabled = preset->get("folderEnabled") == "1";
        layout.expandFolders = preset->get("expandFolders") == "1";
        presets[preset->get("name")] = layout;
    }
    return presets;
}

void writePresets(const std::map<std::string, Layout>& presets) {
    const fs::path file = presetsFile();
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    const fs::path partial = file.string() + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<browserPresets>\n";
        for (const auto& [name, layout] : presets)
            out << "  <preset name=\"" << PiXml::escape(name) << "\" folderOption=\"" << layout.folderOption
                << "\" viewType=\"" << layout.viewType << "\" folderEnabled=\"" << layout.folderEnabled
                << "\" expandFolders=\"" << layout.expandFolders << "\"/>\n";
        out << "</browserPresets>\n";
        out.close();
        if (!out) {
            fs::remove(partial, error);
            reportOnce("browser presets cannot be saved to \"" + file.string() +
                       "\": the file cannot be written; the browsers keep their defaults");
            return;
        }
    }
    fs::rename(partial, file, error);
    if (error) {
        fs::remove(partial, error);
        reportOnce("browser presets cannot be saved to \"" + file.string() + "\": " + error.message());
    }
}

} // namespace

BrRegistry::BrRegistry() {
    _schemes.insert(PiBrowserSchemes::FsScheme);
}

BrRegistry& BrRegistry::getInstance() {
    static BrRegistry instance;
    return instance;
}

void BrRegistry::registerScheme(const std::string& scheme) {
    _schemes.insert(scheme);
}

void BrRegistry::unregisterScheme(const std::string& scheme) {
    _schemes.erase(scheme);
}

bool BrRegistry::isSchemeAvailable(const std::string& scheme) const {
    return _schemes.count(scheme) > 0;
}

BrBrowser::BrBrowser(std::vector<std::string> schemes, const std::string& url)
    : _schemes(std::move(schemes)), _url(url) {}

BrBrowser::~BrBrowser() = default;

void BrBrowser::setURL(const std::string& url) {
    std::error_code error;
    if (!fs::is_directory(url, error))
        throwPiError("cannot browse \"" + url + "\": it is not a folder");
    _url = url;
    _focus.clear();
}

void BrBrowser::enter(const std::string& name) {
    if (name == "..") {
        setURL(fs::path(_url).lexically_normal().parent_path().string());
        return;
    }
    setURL((fs::path(_url) / name).string());
}

std::vector<BrBrowser::Entry> BrBrowser::list() const {
    std::vector<Entry> folders, files;
    std::error_code error;
    for (fs::directory_iterator it(_url, error), end; !error && it != end; it.increment(error)) {
        const bool isFolder = it->is_directory(error);
        (isFolder ? folders : files).push_back({it->path().filename().string(), isFolder});
    }
    auto byName = [](const Entry& a, const Entry& b) { return a.name < b.name; };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    if (!_folderEnabled)
        return files;
    folders.insert(folders.end(), files.begin(), files.end());
    return folders;
}

void BrBrowser::focus(const std::string& name) {
    const auto entries = list();
    if (std::none_of(entries.begin(), entries.end(), [&](const Entry& e) { return e.name == name; }))
        throwPiError("cannot focus \"" + name + "\": folder \"" + _url + "\" shows no entry of that name");
    _focus = (fs::path(_url) / name).string();
}

void BrBrowser::activate() {
    RCShdPtr<BrBrowser> keepAlive(this);
    EvEvent event(EvWidgetCode::activate);
    _activate.invoke(event);
}

BrBrowserFloatingHandler::BrBrowserFloatingHandler(const RCShdPtr<PiContainer>& rootContainer, const std::string& name,
                                                   const RCShdPtr<SnSelection>& selection,
                                                   const std::vector<std::string>& schemes, const LiString& startUrl,
                                                   int bookmarkable)
    : UiFloatingHandler(rootContainer, name), _selection(selection), _browser(new BrBrowser(schemes, startUrl)),
      _bookmarkable(bookmarkable), _onActivate(*this, &BrBrowserFloatingHandler::activated) {
    for (const auto& scheme : schemes)
        if (!BrRegistry::getInstance().isSchemeAvailable(scheme))
            throwPiError("cannot open browser \"" + name + "\": scheme \"" + scheme + "\" is not available");
    const auto presets = readPresets();
    if (auto it = presets.find(name); it != presets.end()) {
        _browser->setFolderOption(it->second.folderOption);
        _browser->setViewType(it->second.viewType);
        _browser->setFolderEnabled(it->second.folderEnabled);
        _browser->setExpandFoldersNodeTree(it->second.expandFolders);
    }
    _browser->addActivateCallback(_onActivate);
}

BrBrowserFloatingHandler::~BrBrowserFloatingHandler() = default;

bool BrBrowserFloatingHandler::hasBrowserPreset(const std::string& name) {
    return readPresets().count(name) > 0;
}

void BrBrowserFloatingHandler::removeBrowserPreset(const std::string& name) {
    auto presets = readPresets();
    if (presets.erase(name))
        writePresets(presets);
}

void BrBrowserFloatingHandler::saveBrowserPreset() {
    auto presets = readPresets();
    presets[getName()] = Layout{_browser->getFolderOption(), _browser->getViewType(), _browser->isFolderEnabled(),
                                _browser->isExpandFoldersNodeTree()};
    writePresets(presets);
}

void BrBrowserFloatingHandler::setActivateCb(CbHandler<EvEvent>& handler) {
    _activateCb = &handler;
    _activateLink = handler.getLink();
}

void BrBrowserFloatingHandler::activated(EvEvent& event) {
    if (_activateCb && !_activateLink.expired())
        (*_activateCb)(event);
}

} // namespace Kr
