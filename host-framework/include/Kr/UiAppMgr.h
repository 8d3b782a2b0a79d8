// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>
#include <Kr/PiWidgets.h>
#include <Kr/RC.h>
#include <Kr/SnSelection.h>

#include <string>
#include <vector>

namespace Kr {

class UiFloatingHandler;

// The application's top-level window: its root container and the floating windows shown
// over it.
class KR_EXPORT UiTopLevel : public RCBase<LkCounter<int>> {
public:
    explicit UiTopLevel(std::string title);
    ~UiTopLevel() override;

    const std::string& getTitle() const { return _title; }
    RCShdPtr<PiContainer> getRootContainer() const { return _root; }

private:
    std::string _title;
    RCShdPtr<PiContainer> _root;
};

// The application: its top-level window (absent in a program without one) and the
// current selection.
class KR_EXPORT UiAppMgr {
public:
    static UiAppMgr& getInstance();

    // Empty when the application has no top-level window.
    RCShdPtr<UiTopLevel> getTopLevel() const { return _topLevel; }
    void setTopLevel(const RCShdPtr<UiTopLevel>& topLevel) { _topLevel = topLevel; }
    RCShdPtr<SnSelection> getSelection() const { return _selection; }

    // The floating windows now shown, by name.
    std::vector<std::string> getShownFloatingWindows() const;
    // The most recently made floating window of that name; null when none exists.
    UiFloatingHandler* findFloatingWindow(const std::string& name) const;

private:
    friend class UiFloatingHandler;
    UiAppMgr();

    RCShdPtr<UiTopLevel> _topLevel;
    RCShdPtr<SnSelection> _selection;
    std::vector<const UiFloatingHandler*> _floating;
};

// A floating window over the top-level window, hidden until first shown.
class KR_EXPORT UiFloatingHandler {
public:
    UiFloatingHandler(const RCShdPtr<PiContainer>& rootContainer, std::string name);
    UiFloatingHandler(const UiFloatingHandler&) = delete;
    UiFloatingHandler& operator=(const UiFloatingHandler&) = delete;
    virtual ~UiFloatingHandler();

    const std::string& getName() const { return _name; }
    const RCShdPtr<PiContainer>& getRootContainer() const { return _rootContainer; }
    // Shows a hidden window and hides a shown one.
    void changeDisplay();
    void show();
    void hide();
    bool isShown() const { return _shown; }

private:
    RCShdPtr<PiContainer> _rootContainer;
    std::string _name;
    bool _shown = false;
};

} // namespace Kr
