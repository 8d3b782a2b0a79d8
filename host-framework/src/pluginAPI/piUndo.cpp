// SPDX-License-Identifier: Apache-2.0
#include <Kr/PiUndo.h>

#include <Kr/PiErrors.h>

#include <utility>

namespace Kr {

PiCommandStack::~PiCommandStack() = default;

void PiCommandStack::record(const std::string& label, std::function<void()> undo, std::function<void()> redo) {
    if (!isRecording())
        return;
    Change change{std::move(undo), std::move(redo)};
    if (_depth > 0) {
        _open.changes.push_back(std::move(change));
        return;
    }
    _redo.clear();
    Step step{label, {}};
    step.changes.push_back(std::move(change));
    _undo.push_back(std::move(step));
}

namespace {
// Marks the stack as replaying for the length of an undo or redo, so that the document
// changes it makes are not recorded again.
class Replay {
public:
    explicit Replay(bool& flag) : _flag(flag) { _flag = true; }
    ~Replay() { _flag = false; }

private:
    bool& _flag;
};
} // namespace

void PiCommandStack::undo() {
    if (_depth > 0)
        throwPiError("cannot undo: the step \"" + _open.label + "\" is still open");
    if (_undo.empty())
        throwPiError("cannot undo: the undo history is empty");
    Step step = std::move(_undo.back());
    _undo.pop_back();
    {
        Replay replay(_replaying);
        for (auto it = step.changes.rbegin(); it != step.changes.rend(); ++it)
            it->undo();
    }
    _redo.push_back(std::move(step));
}

void PiCommandStack::redo() {
    if (_depth > 0)
        throwPiError("cannot redo: the step \"" + _open.label + "\" is still open");
    if (_redo.empty())
        throwPiError("cannot redo: nothing was undone");
    Step step = std::move(_redo.back());
    _redo.pop_back();
    {
        Replay replay(_replaying);
        for (auto& change : step.changes)
            change.redo();
    }
    _undo.push_back(std::move(step));
}

std::vector<std::string> PiCommandStack::getUndoLabels() const {
    std::vector<std::string> labels;
    for (const auto& step : _undo)
        labels.push_back(step.label);
    return labels;
}

std::vector<std::string> PiCommandStack::getRedoLabels() const {
    std::vector<std::string> labels;
    for (const auto& step : _redo)
        labels.push_back(step.label);
    return labels;
}

void PiCommandStack::clear() {
    _undo.clear();
    _redo.clear();
}

void PiCommandStack::openStep(const std::string& label) {
    if (_depth++ == 0)
        _open = Step{label, {}};
}

void PiCommandStack::closeStep() {
    if (_depth == 0 || --_depth > 0)
        return;
    Step step = std::exchange(_open, Step{});
    if (step.changes.empty())
        return;
    _redo.clear();
    _undo.push_back(std::move(step));
}

PiUndoGuard::PiUndoGuard(PiCommandStack& stack, const std::string& label, const PiExecParam&) : _stack(stack) {
    _stack.openStep(label);
}

PiUndoGuard::~PiUndoGuard() {
    _stack.closeStep();
}

} // namespace Kr
