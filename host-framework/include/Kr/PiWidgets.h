// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/CbHandler.h>
#include <Kr/EvEvent.h>
#include <Kr/KrExport.h>
#include <Kr/RC.h>

#include <map>
#include <string>
#include <vector>

namespace Kr {

// A widget of an editor, built from a description file. Callbacks are registered per event
// code; the widget raises EvWidgetCode::activate (23) when the user acts on it and
// EvWidgetCode::rebuild (5) when its contents must be rebuilt.
class KR_EXPORT PiWidget : public RCBase<LkCounter<int>> {
public:
    explicit PiWidget(std::string name);
    ~PiWidget() override;

    const std::string& getName() const { return _name; }
    // The element name of the widget kind in description files ("menu", "button", ...).
    virtual std::string getKind() const = 0;
    const std::string& getLabel() const { return _label; }
    void setLabel(const std::string& label) { _label = label; }
    // The node value the widget shows, if any (attribute "value" in the description).
    const std::string& getValueName() const { return _valueName; }
    void setValueName(const std::string& name) { _valueName = name; }

    void addCallback(int eventCode, CbHandler<EvEvent>& handler);
    void removeCallback(int eventCode, CbHandler<EvEvent>& handler);
    int getNbCallbacks(int eventCode) const;
    // Delivers an event of that code to the callbacks registered for it.
    void raiseEvent(int eventCode);

private:
    std::string _name;
    std::string _label;
    std::string _valueName;
    std::map<int, CbHandlerList<EvEvent>> _callbacks;
};

class KR_EXPORT PiContainer : public PiWidget {
public:
    explicit PiContainer(std::string name);
    ~PiContainer() override;

    std::string getKind() const override { return "container"; }
    void addChild(const RCShdPtr<PiWidget>& child);
    // The first widget of that name among the children and their descendants, depth first;
    // empty when there is none.
    RCShdPtr<PiWidget> getChild(const std::string& name) const;
    int getNbChildren() const { return static_cast<int>(_children.size()); }
    const RCShdPtr<PiWidget>& getChildAt(int index) const { return _children.at(index); }

private:
    std::vector<RCShdPtr<PiWidget>> _children;
};

class KR_EXPORT PiMenu : public PiWidget {
public:
    explicit PiMenu(std::string name);
    ~PiMenu() override;

    std::string getKind() const override { return "menu"; }
    void removeAllEntries();
    void appendEntry(const std::string& text);
    int getNbEntries() const { return static_cast<int>(_entries.size()); }
    const std::string& getEntry(int index) const { return _entries.at(index); }
    const std::vector<std::string>& getEntries() const { return _entries; }
    // -1 when no entry is current.
    int getCurrentIndex() const { return _current; }
    // Makes an entry current without raising an event; flags are reserved (pass 0). An index
    // outside the entries makes none current.
    void setCurrentIndex(int index, int flags);
    // The user picks an entry: it becomes current and the activate event is raised. An index
    // outside the entries is refused with an error.
    void choose(int index);

private:
    std::vector<std::string> _entries;
    int _current = -1;
};

class KR_EXPORT PiTextField : public PiWidget {
public:
    explicit PiTextField(std::string name);
    ~PiTextField() override;

    std::string getKind() const override { return "textField"; }
    // 0 means no limit. A shorter limit cuts the current text.
    void setMaxLength(int maxLength);
    int getMaxLength() const { return _maxLength; }
    const std::string& getText() const { return _text; }
    // Sets the text without raising an event, cut to the maximum length.
    void setText(const std::string& text);
    // The user enters a text: it is set (cut to the maximum length) and the activate event raised.
    void enter(const std::string& text);

private:
    std::string _text;
    int _maxLength = 0;
};

class KR_EXPORT PiButton : public PiWidget {
public:
    explicit PiButton(std::string name);
    ~PiButton() override;

    std::string getKind() const override { return "button"; }
    // Raises the activate event.
    void press();
};

class KR_EXPORT PiLabel : public PiWidget {
public:
    explicit PiLabel(std::string name);
    ~PiLabel() override;

    std::string getKind() const override { return "label"; }
    const std::string& getText() const { return _text; }
    void setText(const std::string& text) { _text = text; }

private:
    std::string _text;
};

} // namespace Kr
