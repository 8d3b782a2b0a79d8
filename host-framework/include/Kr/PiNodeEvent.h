// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>

#include <string>

namespace Kr {

class PiNode;

// A change on a node, delivered to the callbacks its controller registered.
class KR_EXPORT PiNodeEvent {
public:
    enum Type { SocketConnected, SocketDisconnected, ValueChanged };

    PiNodeEvent(Type type, PiNode& node, std::string name) : _type(type), _node(&node), _name(std::move(name)) {}

    Type getType() const { return _type; }
    PiNode& getNode() const { return *_node; }
    // The socket or value concerned.
    const std::string& getName() const { return _name; }

private:
    Type _type;
    PiNode* _node;
    std::string _name;
};

} // namespace Kr
