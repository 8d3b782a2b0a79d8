// SPDX-License-Identifier: Apache-2.0
// Loading documents written by piGraphSave.cpp (the format is described there). A document
// is read whole into a new graph first, so that one that cannot be read leaves the current
// document untouched; then its nodes replace the current ones.

#include <Kr/PiGraph.h>

#include <Kr/PiErrors.h>
#include <Kr/PiNodeController.h>

#include "piXmlTree.h"

namespace Kr {

namespace {

// A document refused by its reader, its text already naming the file and the line.
class ExDocumentRefused : public ExPiError {
public:
    using ExPiError::ExPiError;
    ExBase* clone() const override { return new ExDocumentRefused(*this); }
};

} // namespace

// Builds a graph from a document's element tree, element by element. Any refusal, the
// reader's own or an operation's of the graph, names the file and the element's line.
class PiGraph::DocumentReader {
public:
    DocumentReader(PiGraph& graph, const std::string& sourceName) : _graph(graph), _sourceName(sourceName) {}

    void read(const PiXml::Element& root) {
        checkRoot(root);
        PiRecordingSuspender quiet(_graph._commandStack);
        // Cycles are looked for once all connections are made: checking each connection
        // alone walks everything upstream of it, which makes long chains quadratic.
        _graph._cycleCheckDeferred = true;
        // Groups first, so that nothing depends on the order in which they were written
        // (documents of older versions put a group before the group it lies in).
        forEachChild(root, [&](const PiXml::Element& e) {
            if (e.name == "group")
                createGroup(e);
        });
        forEachChild(root, [&](const PiXml::Element& e) {
            if (e.name == "group")
                placeInGroup(e, find(e, e.get("name")));
        });
        forEachChild(root, [&](const PiXml::Element& e) { readMember(e); });
        _graph._cycleCheckDeferred = false;
        if (const PiNode* onCycle = _graph.findNodeOnCycle())
            refuse(root, "the connections make a cycle through node \"" + onCycle->getName() + "\"");
    }

private:
    [[noreturn]] void refuse(const PiXml::Element& element, const std::string& why) const {
        throw ExDocumentRefused("cannot load the document \"" + _sourceName + "\": line " +
                                std::to_string(element.line) + ": " + why);
    }

    void checkRoot(const PiXml::Element& root) const {
        if (root.name != "document")
            refuse(root, "the root element is <" + root.name + ">, not <document>");
        if (root.get("version") != "1")
            refuse(root, "document version \"" + root.get("version") + "\" is not supported (only 1)");
    }

    // Runs read on each child; what the graph refuses is refused at the child's line.
    template <class Read> void forEachChild(const PiXml::Element& root, const Read& read) {
        for (const auto& child : root.children) {
            try {
                read(*child);
            } catch (const ExDocumentRefused&) {
                throw;
            } catch (const ExPiError& error) {
                refuse(*child, error.getText());
            }
        }
    }

    RCShdPtr<PiNode> find(const PiXml::Element& element, const std::string& name) const {
        RCShdPtr<PiNode> node = _graph.findNode(name);
        if (!node)
            refuse(element, "no node named \"" + name + "\"");
        return node;
    }

    RCShdPtr<PiGroupNode> findGroup(const PiXml::Element& element) const {
        if (!element.has("group"))
            return {};
        auto group = find(element, element.get("group")).dynamicCast<PiGroupNode>();
        if (!group)
            refuse(element, "\"" + element.get("group") + "\" is not a group");
        return group;
    }

    void createGroup(const PiXml::Element& element) {
        _graph.createGroup(element.get("name"))->setOpen(element.get("open") == "1");
    }

    void placeInGroup(const PiXml::Element& element, const RCShdPtr<PiNode>& node) {
        if (RCShdPtr<PiGroupNode> group = findGroup(element))
            _graph.setGroup(node, group);
    }

    void readMember(const PiXml::Element& element) {
        if (element.name == "group")
            return;
        if (element.name == "boundary")
            _graph.createBoundary(findGroup(element), element.get("name"), element.get("output"));
        else if (element.name == "node")
            readNode(element);
        else if (element.name == "connection")
            readConnection(element);
        else
            refuse(element, "<" + element.name + "> is not part of a document");
    }

    void readNode(const PiXml::Element& element) {
        RCShdPtr<PiNode> node = _graph.createNode(element.get("tool"), element.get("name"));
        placeInGroup(element, node);
        for (const auto& child : element.children)
            readValue(*child, *node);
    }

    // The text as written, or the bytes of an escaped value; the node's controller judges it.
    void readValue(const PiXml::Element& element, PiNode& node) const {
        if (element.name != "value")
            refuse(element, "<" + element.name + "> is not allowed in a node");
        const std::string name = element.get("name");
        const std::string what = "node \"" + node.getName() + "\", value \"" + name + "\": ";
        RCShdPtr<PiValue> value = node.getValue(name);
        if (!value)
            refuse(element, what + "the node has no such value");
        std::string text = element.text;
        const std::string escaped = element.get("escaped");
        if (escaped == "1") {
            if (!PiXml::unescapeBytes(element.text, text))
                refuse(element, what + "a backslash in an escaped value is neither \\\\ nor \\xHH");
        } else if (element.has("escaped") && escaped != "0") {
            refuse(element, what + "escaped=\"" + escaped + "\" is neither 0 nor 1");
        }
        try {
            value->fromText(text);
            if (PiNodeController* controller = node.getController())
                controller->validateValue(*value);
        } catch (const ExBase& error) {
            refuse(element, what + error.getText());
        }
    }

    void readConnection(const PiXml::Element& element) {
        RCShdPtr<PiNode> node = find(element, element.get("input"));
        RCShdPtr<PiInput> input = node->getInput(element.get("socket"));
        if (!input)
            refuse(element, "node \"" + node->getName() + "\" has no input \"" + element.get("socket") + "\"");
        RCShdPtr<const PiOutput> output;
        if (element.has("source")) {
            RCShdPtr<PiNode> source = find(element, element.get("source"));
            output = source->getOutput(element.get("output"));
            if (!output)
                refuse(element, "node \"" + source->getName() + "\" has no output \"" + element.get("output") + "\"");
        }
        const bool isMulti = input.dynamicCast<PiMultivaluedInput>() != nullptr;
        if (element.has("entry") != isMulti)
            refuse(element,
                   "input \"" + input->getName() + "\" " +
                       (isMulti ? "is multi-valued: the entry is missing" : "is not multi-valued: it has no entries"));
        input->connect(output);
    }

    PiGraph& _graph;
    const std::string& _sourceName;
};

void PiGraph::load(const std::string& path) {
    loadFromText(PiXml::readFile(path, "cannot load the document"), path);
}

void PiGraph::loadFromText(const std::string& text, const std::string& sourceName) {
    std::unique_ptr<PiXml::Element> root = PiXml::parse(text, sourceName);
    RCShdPtr<PiGraph> loaded(new PiGraph());
    DocumentReader(*loaded, sourceName).read(*root);
    adoptNodes(*loaded);
}

void PiGraph::adoptNodes(PiGraph& loaded) {
    std::vector<RCShdPtr<PiNode>> previous = std::move(_nodes);
    for (auto& node : previous) {
        dropProcNodes(*node);
        node->_graph = nullptr;
    }
    _procNodes.clear();
    _commandStack.clear();
    _nodes = std::move(loaded._nodes);
    _nodesByName = std::move(loaded._nodesByName);
    loaded._nodes.clear();
    loaded._nodesByName.clear();
    for (auto& node : _nodes)
        node->_graph = this;
    PiRecordingSuspender restoring(_commandStack);
    for (auto& node : _nodes)
        if (PiNodeController* controller = node->getController())
            controller->nodeLoaded();
}

} // namespace Kr
