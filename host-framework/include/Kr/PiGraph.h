// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>
#include <Kr/PiNode.h>
#include <Kr/PiUndo.h>
#include <Kr/PxImage.h>
#include <Kr/RC.h>

#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace Kr {

// A document: its nodes, their connections and values, its undo history and its
// processing graph. Creating and removing nodes, connecting and setting values are
// recorded on the command stack. A document is saved and loaded as XML; after a load each
// controller's nodeLoaded() runs.
class KR_EXPORT PiGraph : public RCBase<LkCounter<int>> {
public:
    PiGraph();
    ~PiGraph() override;

    PiCommandStack& getCommandStack() { return _commandStack; }

    // Creates a node of a registered tool. An empty name gives the tool's name followed by
    // the first free number. An unknown tool or a name in use is refused with an error.
    RCShdPtr<PiNode> createNode(const std::string& toolName, const std::string& nodeName = {});
    RCShdPtr<PiGroupNode> createGroup(const std::string& name);
    // A boundary node of group with one image input "Input" and one image output named
    // outputName; an empty group puts it at the top level.
    RCShdPtr<PiBoundaryNode> createBoundary(const RCShdPtr<PiGroupNode>& group, const std::string& name,
                                            const std::string& outputName);
    // Puts a node into a group (empty group: the top level). A group cannot be put into itself
    // or into a group that lies inside it.
    void setGroup(const RCShdPtr<PiNode>& node, const RCShdPtr<PiGroupNode>& group);
    // Removes the node and its connections; entries of multi-valued inputs that it fed are
    // removed too. A group is removed with everything inside it, nested groups included. Undo
    // brings all back in place, as one step.
    void removeNode(const RCShdPtr<PiNode>& node);

    RCShdPtr<PiNode> findNode(const std::string& name) const;
    const std::vector<RCShdPtr<PiNode>>& getNodes() const { return _nodes; }

    // Saving writes the whole document; loading replaces it and clears the undo history. A
    // document that cannot be read or names an unknown tool or node is refused with an error
    // naming the file, and the current document stays as it was. Only regular files of at
    // most 64 MiB are opened, and elements nested more than 256 deep are refused
    // (PiXml::maxFileSize, PiXml::maxDepth). Loading takes time in proportion to the size.
    void save(const std::string& path) const;
    void load(const std::string& path);
    std::string saveToText() const;
    void loadFromText(const std::string& text, const std::string& sourceName);

    // The processing node published for an output, building the processing graph of the
    // node and of everything upstream as needed. Empty when nothing is published.
    PxStrongHndl<const PxNode> getProcNode(const RCShdPtr<const PiOutput>& output);
    // How many times the node's processing side was (re)created.
    int getProcBuildCount(const PiNode& node) const;

    // Called by sockets and values after a change: drops the processing nodes of the node
    // and of everything downstream, so they are made again on the next request.
    void nodeChanged(PiNode& node);

private:
    friend class PiInput;
    friend class PiMultivaluedInput;
    class DocumentReader; // piGraphLoad.cpp

    RCShdPtr<PiNode> buildNode(const std::string& toolName, const std::string& nodeName);
    void insertNode(const RCShdPtr<PiNode>& node, std::size_t position);
    void eraseNode(const RCShdPtr<PiNode>& node);
    void checkNameFree(const std::string& name) const;
    // Whether node lies in group, directly or in a group inside it.
    static bool liesIn(const PiNode& node, const PiNode& group);
    bool dependsOn(const PiNode& node, const PiNode& upstream) const;
    // A node on a cycle of connections, null when there is none; one pass over the document.
    const PiNode* findNodeOnCycle() const;
    // Replaces the nodes by those of loaded, which is left empty, and clears the history.
    void adoptNodes(PiGraph& loaded);
    void buildProcNodes(PiNode& node);
    void dropProcNodes(PiNode& node);
    void collectProcNodes(PiNode& node, std::vector<PxStrongHndl<const PxNode>>& stale);

    // A connection change with its events and processing invalidation; the public
    // operations of the sockets record it on the command stack.
    void setSource(PiInput& input, const RCShdPtr<const PiOutput>& output);
    // Refuses outputs of another document or socket type, and connections making a cycle
    // (unless the check is deferred).
    void checkConnection(const PiInput& input, const PiOutput& output) const;

    struct ProcNodes {
        std::map<std::string, PxStrongHndl<const PxNode>> outputs;
        int builds = 0;
        bool valid = false;
    };

    PiCommandStack _commandStack;
    std::vector<RCShdPtr<PiNode>> _nodes;
    // The same nodes by name, so that finding one does not walk the document.
    std::unordered_map<std::string, PiNode*> _nodesByName;
    // Set while a document is read, which looks for cycles once, at the end.
    bool _cycleCheckDeferred = false;
    std::map<const PiNode*, ProcNodes> _procNodes;
};

} // namespace Kr
