#include <Kr/BrBrowser.h>

#include <Kr/InPaths.h>
#include <Kr/PiErrors.h>

#include "piXmlTree.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

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

std::map<std::string, Layout> readPresets() {
    std::map<std::string, Layout> presets;
    std::ifstream in(presetsFile(), std::ios::binary);
    if (!in)
        return presets;
    std::ostringstream text;
    text << in.rdbuf();
    auto root = PiXml::parse(text.str(), presetsFile().string());
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
        if (!out)
            throwPiError("cannot save browser presets to \"" + file.string() + "\": the file cannot be written");
    }
    fs::rename(partial, file, error);
    if (error)
        throwPiError("cannot save browser presets to \"" + file.string() + "\": " + error.message());
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
