// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>

#include <functional>
#include <string>
#include <vector>

namespace Kr {

// Parameters of a command execution; the default one is what every caller passes.
class KR_EXPORT PiExecParam {
public:
    PiExecParam() = default;
};

// The undo history of one document. Every document change records how to undo and redo
// itself here. Changes made while a guard is open form one labelled step; a change made
// outside any guard is a step of its own. Changes made while a step is undone or redone,
// or while recording is suspended (document load), are not recorded.
class KR_EXPORT PiCommandStack {
public:
    PiCommandStack() = default;
    PiCommandStack(const PiCommandStack&) = delete;
    PiCommandStack& operator=(const PiCommandStack&) = delete;
    ~PiCommandStack();

    // Records a change already applied to the document.
    void record(const std::string& label, std::function<void()> undo, std::function<void()> redo);
    bool isRecording() const { return !_replaying && _suspended == 0; }

    bool canUndo() const { return !_undo.empty(); }
    bool canRedo() const { return !_redo.empty(); }
    // Undoes the last step, its changes in reverse order. Refused while a step is open.
    void undo();
    void redo();

    // Labels, oldest first.
    std::vector<std::string> getUndoLabels() const;
    std::vector<std::string> getRedoLabels() const;
    void clear();

    // Undo guards open and close steps; nested steps merge into the outermost one.
    void openStep(const std::string& label);
    void closeStep();
    bool isStepOpen() const { return _depth > 0; }

    // While suspended, changes are applied but not recorded.
    void suspend() { ++_suspended; }
    void resume() { --_suspended; }

private:
    struct Change {
        std::function<void()> undo;
        std::function<void()> redo;
    };
    struct Step {
        std::string label;
        std::vector<Change> changes;
    };

    std::vector<Step> _undo;
    std::vector<Step> _redo;
    Step _open;
    int _depth = 0;
    int _suspended = 0;
    bool _replaying = false;
};

// Makes every document change made while it lives one undo step with its label. Closes the
// step when destroyed, also when an exception passes; an empty step is not recorded.
class KR_EXPORT PiUndoGuard {
public:
    PiUndoGuard(PiCommandStack& stack, const std::string& label, const PiExecParam& param);
    PiUndoGuard(const PiUndoGuard&) = delete;
    PiUndoGuard& operator=(const PiUndoGuard&) = delete;
    ~PiUndoGuard();

private:
    PiCommandStack& _stack;
};

// Suspends recording for its lifetime.
class KR_EXPORT PiRecordingSuspender {
public:
    explicit PiRecordingSuspender(PiCommandStack& stack) : _stack(stack) { _stack.suspend(); }
    PiRecordingSuspender(const PiRecordingSuspender&) = delete;
    PiRecordingSuspender& operator=(const PiRecordingSuspender&) = delete;
    ~PiRecordingSuspender() { _stack.resume(); }

private:
    PiCommandStack& _stack;
};

} // namespace Kr
