// SPDX-License-Identifier: Apache-2.0
#include <Kr/PiSocket.h>

#include <Kr/PiErrors.h>
#include <Kr/PiGraph.h>
#include <Kr/PiNode.h>

#include <algorithm>

namespace Kr {

namespace {
PiGraph& graphOf(const PiSocket& socket, const char* operation) {
    RCShdPtr<PiNode> node = socket.getNode();
    RCShdPtr<PiGraph> graph = node->getGraph();
    if (graph.isNull())
        throwPiError(std::string("cannot ") + operation + " \"" + node->getName() + "." + socket.getName() +
                     "\": the node is not in a document");
    return *graph;
}
} // namespace

PiSocket::PiSocket(PiNode& node, std::string name, int socketType)
    : _node(&node), _name(std::move(name)), _socketType(socketType) {}

PiSocket::~PiSocket() = default;

RCShdPtr<PiNode> PiSocket::getNode() const {
    return RCShdPtr<PiNode>(_node);
}

void PiSocket::forgetNode() {
    _node = nullptr;
}

PiInput::PiInput(PiNode& node, std::string name, int socketType) : PiSocket(node, std::move(name), socketType) {}

PiInput::~PiInput() {
    if (_source)
        std::erase(const_cast<PiOutput&>(*_source)._destinations, this);
}

bool PiInput::isConnected() const {
    return !_source.isNull();
}

RCShdPtr<const PiOutput> PiInput::getSource() const {
    return _source;
}

void PiInput::connect(const RCShdPtr<const PiOutput>& output) {
    PiGraph& graph = graphOf(*this, output ? "connect" : "disconnect");
    if (output == _source)
        return;
    if (output)
        graph.checkConnection(*this, *output);
    RCShdPtr<const PiOutput> before = _source;
    RCShdPtr<PiInput> self(this);
    RCShdPtr<PiNode> node = getNode();
    graph.setSource(*this, output);
    graph.getCommandStack().record((output ? "Connect " : "Disconnect ") + getName(),
                                   [node, self, before] { node->getGraph()->setSource(*self, before); },
                                   [node, self, output] { node->getGraph()->setSource(*self, output); });
}

void PiInput::disconnect() {
    connect(RCShdPtr<const PiOutput>());
}

PiMultivaluedInput::PiMultivaluedInput(PiNode& node, std::string name, int socketType)
    : PiInput(node, std::move(name), socketType) {}

PiMultivaluedInput::~PiMultivaluedInput() = default;

bool PiMultivaluedInput::isConnected() const {
    return std::any_of(_entries.begin(), _entries.end(), [](const auto& e) { return e->isConnected(); });
}

RCShdPtr<const PiOutput> PiMultivaluedInput::getSource() const {
    return {};
}

RCShdPtr<PiInput> PiMultivaluedInput::getEntry(int index) const {
    if (index < 0 || index >= getNbEntries())
        return {};
    return _entries[index];
}

int PiMultivaluedInput::indexOf(const PiInput& entry) const {
    for (int i = 0; i < getNbEntries(); ++i)
        if (_entries[i].get() == &entry)
            return i;
    return -1;
}

void PiMultivaluedInput::insertEntry(int index, const RCShdPtr<PiInput>& entry,
                                     const RCShdPtr<const PiOutput>& source) {
    _entries.insert(_entries.begin() + index, entry);
    if (source)
        getNode()->getGraph()->setSource(*entry, source);
}

void PiMultivaluedInput::eraseEntry(const RCShdPtr<PiInput>& entry) {
    getNode()->getGraph()->setSource(*entry, {});
    std::erase(_entries, entry);
}

void PiMultivaluedInput::connect(const RCShdPtr<const PiOutput>& output) {
    PiGraph& graph = graphOf(*this, "connect");
    if (output)
        graph.checkConnection(*this, *output);
    RCShdPtr<PiInput> entry(new PiInput(*getNode(), getName(), getSocketType()));
    RCShdPtr<PiMultivaluedInput> self(this);
    RCShdPtr<PiNode> node = getNode();
    const int index = getNbEntries();
    insertEntry(index, entry, output);
    graph.getCommandStack().record(
        "Connect " + getName(), [node, self, entry] { self->eraseEntry(entry); },
        [node, self, entry, index, output] { self->insertEntry(index, entry, output); });
}

RCShdPtr<PiInput> PiMultivaluedInput::addEntry() {
    connect(RCShdPtr<const PiOutput>());
    return _entries.back();
}

void PiMultivaluedInput::removeEntry(int index) {
    PiGraph& graph = graphOf(*this, "remove an entry of");
    if (index < 0 || index >= getNbEntries())
        throwPiError("cannot remove entry " + std::to_string(index) + " of \"" + getNode()->getName() + "." +
                     getName() + "\": it has " + std::to_string(getNbEntries()) + " entries");
    RCShdPtr<PiInput> entry = _entries[index];
    RCShdPtr<const PiOutput> source = entry->getSource();
    RCShdPtr<PiMultivaluedInput> self(this);
    RCShdPtr<PiNode> node = getNode();
    eraseEntry(entry);
    graph.getCommandStack().record(
        "Remove Entry of " + getName(), [node, self, entry, index, source] { self->insertEntry(index, entry, source); },
        [node, self, entry] { self->eraseEntry(entry); });
}

void PiMultivaluedInput::disconnect() {
    PiGraph& graph = graphOf(*this, "disconnect");
    if (_entries.empty())
        return;
    PiUndoGuard guard(graph.getCommandStack(), "Disconnect " + getName(), PiExecParam());
    while (!_entries.empty())
        removeEntry(getNbEntries() - 1);
}

PiOutput::PiOutput(PiNode& node, std::string name, int socketType) : PiSocket(node, std::move(name), socketType) {}

PiOutput::~PiOutput() = default;

std::vector<RCShdPtr<PiInput>> PiOutput::getDestinations() const {
    std::vector<RCShdPtr<PiInput>> result;
    for (PiInput* input : _destinations)
        result.emplace_back(input);
    return result;
}

} // namespace Kr
