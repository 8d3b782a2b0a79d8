// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>
#include <Kr/RC.h>

#include <string>
#include <vector>

namespace Kr {

class PiNode;
class PiOutput;
class PiGraph;

// Socket type codes.
namespace PiSocketType {
inline constexpr int image = 5;
}

// Input cardinality codes.
namespace PiCardinality {
inline constexpr int single = 0;
inline constexpr int multiple = 1;
} // namespace PiCardinality

// A named connection point of a node.
class KR_EXPORT PiSocket : public RCBase<LkCounter<int>> {
public:
    PiSocket(PiNode& node, std::string name, int socketType);
    ~PiSocket() override;

    const std::string& getName() const { return _name; }
    int getSocketType() const { return _socketType; }
    // The node the socket belongs to.
    RCShdPtr<PiNode> getNode() const;
    virtual bool isInput() const = 0;

private:
    friend class PiNode;
    void forgetNode();

    PiNode* _node;
    std::string _name;
    int _socketType;
};

// An input fed by at most one output. Every change is recorded on the document's command
// stack and raises the node events SocketConnected / SocketDisconnected.
class KR_EXPORT PiInput : public PiSocket {
public:
    PiInput(PiNode& node, std::string name, int socketType);
    ~PiInput() override;

    bool isInput() const override { return true; }
    virtual bool isConnected() const;
    // The output feeding this input; empty when unconnected.
    virtual RCShdPtr<const PiOutput> getSource() const;
    // Connects to output, replacing any connection; an empty output disconnects.
    virtual void connect(const RCShdPtr<const PiOutput>& output);
    virtual void disconnect();

private:
    friend class PiGraph;
    friend class PiMultivaluedInput;
    RCShdPtr<const PiOutput> _source;
};

// An input with any number of entries, each an input of its own. Connecting it appends a
// new entry at the end; entries keep their order and can be removed.
class KR_EXPORT PiMultivaluedInput : public PiInput {
public:
    PiMultivaluedInput(PiNode& node, std::string name, int socketType);
    ~PiMultivaluedInput() override;

    // Whether any entry is connected.
    bool isConnected() const override;
    // Always empty: the sources are the entries'.
    RCShdPtr<const PiOutput> getSource() const override;
    // Appends an entry connected to output (an empty output appends an unconnected entry).
    void connect(const RCShdPtr<const PiOutput>& output) override;
    // Removes every entry.
    void disconnect() override;

    int getNbEntries() const { return static_cast<int>(_entries.size()); }
    // Empty when index is out of range.
    RCShdPtr<PiInput> getEntry(int index) const;
    // Removes the entry, disconnecting it first. Out of range: refused with an error.
    void removeEntry(int index);
    // Appends an unconnected entry and returns it.
    RCShdPtr<PiInput> addEntry();
    int indexOf(const PiInput& entry) const;

private:
    friend class PiGraph;
    void insertEntry(int index, const RCShdPtr<PiInput>& entry, const RCShdPtr<const PiOutput>& source);
    void eraseEntry(const RCShdPtr<PiInput>& entry);

    std::vector<RCShdPtr<PiInput>> _entries;
};

// A named output of a node.
class KR_EXPORT PiOutput : public PiSocket {
public:
    PiOutput(PiNode& node, std::string name, int socketType);
    ~PiOutput() override;

    bool isInput() const override { return false; }
    // The inputs (or multi-valued entries) this output feeds.
    std::vector<RCShdPtr<PiInput>> getDestinations() const;

private:
    friend class PiGraph;
    friend class PiInput;
    std::vector<PiInput*> _destinations;
};

} // namespace Kr
