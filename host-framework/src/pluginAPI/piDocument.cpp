// SPDX-License-Identifier: Apache-2.0
// Saving and loading documents.
//
//   <document version="1">
//     <node name="P" tool="Constant">            (group="G" when inside a group)
//       <value name="Color">1 0 0 1</value>
//       <value name="File" escaped="1">caf\xE9.cube</value>   (bytes XML cannot carry)
//     </node>
//     <group name="G" open="0"/>
//     <boundary name="G.out" group="G" output="Out"/>          (no group: at the top level)
//     <connection input="S" socket="Selected Image" source="P" output="Output"/>
//     <connection input="S" socket="Other Images" entry="0"/>    (an unconnected entry)
//   </document>
//
// Groups come first, each after the group it lies in, then the other nodes, then the
// connections in input order, so multi-valued entries come back in their order. A value is
// written as it is when XML 1.0 can carry it; otherwise it is marked escaped="1" and every
// byte XML cannot carry is written as \xHH, a backslash as \\ (PiXml::escapeBytes).
// Numbers are written as the shortest text that reads back to the same number.

#include <Kr/PiGraph.h>

#include <Kr/PiErrors.h>
#include <Kr/PiNodeController.h>

#include "piXmlTree.h"

#include <fstream>
#include <functional>
#include <set>
#include <sstream>

namespace Kr {

namespace {

void writeConnection(std::ostream& out, const PiNode& node, const PiInput& input, int entry) {
    out << "  <connection input=\"" << PiXml::escape(node.getName()) << "\" socket=\"" << PiXml::escape(input.getName())
        << "\"";
    if (entry >= 0)
        out << " entry=\"" << entry << "\"";
    if (auto source = input.getSource()) {
        RCShdPtr<PiNode> sourceNode = source->getNode();
        out << " source=\"" << PiXml::escape(sourceNode->getName()) << "\" output=\""
            << PiXml::escape(source->getName()) << "\"";
    }
    out << "/>\n";
}

// Sets a node's value from its element: the text as written, or the bytes of an escaped
// one, then lets the node's controller judge it. Whatever is wrong is refused naming the
// node, the value and the line.
template <class Refuse> void loadValue(const PiXml::Element& element, PiNode& node, const Refuse& refuse) {
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

} // namespace

std::string PiGraph::saveToText() const {
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<document version=\"1\">\n";
    auto groupAttribute = [](const PiNode& node) {
        RCShdPtr<PiGroupNode> group = node.getGroup();
        return group ? " group=\"" + PiXml::escape(group->getName()) + "\"" : std::string();
    };
    std::set<const PiNode*> written;
    std::function<void(const PiGroupNode&)> writeGroup = [&](const PiGroupNode& group) {
        if (!written.insert(&group).second)
            return;
        if (RCShdPtr<PiGroupNode> parent = group.getGroup())
            writeGroup(*parent);
        out << "  <group name=\"" << PiXml::escape(group.getName()) << "\" open=\"" << group.isOpen() << "\""
            << groupAttribute(group) << "/>\n";
    };
    for (const auto& node : _nodes)
        if (auto* group = dynamic_cast<const PiGroupNode*>(node.get()))
            writeGroup(*group);
    for (const auto& node : _nodes) {
        if (dynamic_cast<const PiGroupNode*>(node.get()))
            continue;
        if (dynamic_cast<const PiBoundaryNode*>(node.get())) {
            out << "  <boundary name=\"" << PiXml::escape(node->getName()) << "\" output=\""
                << PiXml::escape(node->getOutputAt(0)->getName()) << "\"" << groupAttribute(*node) << "/>\n";
            continue;
        }
        out << "  <node name=\"" << PiXml::escape(node->getName()) << "\" tool=\"" << PiXml::escape(node->getToolName())
            << "\"" << groupAttribute(*node) << ">\n";
        for (int i = 0; i < node->getNbValues(); ++i) {
            const auto& value = node->getValueAt(i);
            const std::string text = value->toText();
            out << "    <value name=\"" << PiXml::escape(value->getName()) << "\"";
            if (PiXml::isXmlText(text))
                out << ">" << PiXml::escape(text);
            else
                out << " escaped=\"1\">" << PiXml::escape(PiXml::escapeBytes(text));
            out << "</value>\n";
        }
        out << "  </node>\n";
    }
    for (const auto& node : _nodes)
        for (int i = 0; i < node->getNbInputs(); ++i) {
            const auto& input = node->getInputAt(i);
            if (auto* multi = dynamic_cast<const PiMultivaluedInput*>(input.get())) {
                for (int e = 0; e < multi->getNbEntries(); ++e)
                    writeConnection(out, *node, *multi->getEntry(e), e);
            } else if (input->isConnected()) {
                writeConnection(out, *node, *input, -1);
            }
        }
    out << "</document>\n";
    return out.str();
}

void PiGraph::save(const std::string& path) const {
    const std::string text = saveToText();
    // Written beside the target and renamed, so a failed save leaves the old file whole.
    const std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::remove(partial.c_str());
            throwPiError("cannot save the document to \"" + path + "\": the file cannot be written");
        }
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        throwPiError("cannot save the document to \"" + path + "\": the file cannot be replaced");
    }
}

void PiGraph::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throwPiError("cannot load the document \"" + path + "\": the file does not exist or is not readable");
    std::ostringstream text;
    text << in.rdbuf();
    loadFromText(text.str(), path);
}

void PiGraph::loadFromText(const std::string& text, const std::string& sourceName) {
    std::unique_ptr<PiXml::Element> root = PiXml::parse(text, sourceName);
    auto refuse = [&](const PiXml::Element& element, const std::string& why) {
        throwPiError("cannot load the document \"" + sourceName + "\": line " + std::to_string(element.line) + ": " +
                     why);
    };
    if (root->name != "document")
        refuse(*root, "the root element is <" + root->name + ">, not <document>");
    if (root->get("version") != "1")
        refuse(*root, "document version \"" + root->get("version") + "\" is not supported (only 1)");

    // Everything is built into a new document first: a document that cannot be read leaves
    // the current one untouched.
    RCShdPtr<PiGraph> loaded(new PiGraph());
    PiRecordingSuspender quiet(loaded->_commandStack);
    auto findIn = [&](const PiXml::Element& element, const std::string& name) {
        RCShdPtr<PiNode> node = loaded->findNode(name);
        if (!node)
            refuse(element, "no node named \"" + name + "\"");
        return node;
    };
    auto placeInGroup = [&](const PiXml::Element& element, const RCShdPtr<PiNode>& node) {
        if (element.has("group")) {
            auto group = findIn(element, element.get("group")).dynamicCast<PiGroupNode>();
            if (!group)
                refuse(element, "\"" + element.get("group") + "\" is not a group");
            loaded->setGroup(node, group);
        }
    };
    try {
        // Groups first, so that nothing depends on the order in which they were written
        // (documents of older versions put a group before the group it lies in).
        for (const auto& element : root->children)
            if (element->name == "group")
                loaded->createGroup(element->get("name"))->setOpen(element->get("open") == "1");
        for (const auto& element : root->children)
            if (element->name == "group")
                placeInGroup(*element, findIn(*element, element->get("name")));
        for (const auto& element : root->children) {
            if (element->name == "group") {
                continue;
            } else if (element->name == "boundary") {
                RCShdPtr<PiGroupNode> group;
                if (element->has("group")) {
                    group = findIn(*element, element->get("group")).dynamicCast<PiGroupNode>();
                    if (!group)
                        refuse(*element, "\"" + element->get("group") + "\" is not a group");
                }
                loaded->createBoundary(group, element->get("name"), element->get("output"));
            } else if (element->name == "node") {
                RCShdPtr<PiNode> node = loaded->createNode(element->get("tool"), element->get("name"));
                placeInGroup(*element, node);
                for (const auto& child : element->children)
                    loadValue(*child, *node, refuse);
            } else if (element->name == "connection") {
                RCShdPtr<PiNode> node = findIn(*element, element->get("input"));
                RCShdPtr<PiInput> input = node->getInput(element->get("socket"));
                if (!input)
                    refuse(*element,
                           "node \"" + node->getName() + "\" has no input \"" + element->get("socket") + "\"");
                RCShdPtr<const PiOutput> output;
                if (element->has("source")) {
                    RCShdPtr<PiNode> source = findIn(*element, element->get("source"));
                    output = source->getOutput(element->get("output"));
                    if (!output)
                        refuse(*element,
                               "node \"" + source->getName() + "\" has no output \"" + element->get("output") + "\"");
                }
                const bool isMulti = input.dynamicCast<PiMultivaluedInput>() != nullptr;
                if (element->has("entry") != isMulti)
                    refuse(*element, "input \"" + input->getName() + "\" " +
                                         (isMulti ? "is multi-valued: the entry is missing"
                                                  : "is not multi-valued: it has no entries"));
                input->connect(output);
            } else {
                refuse(*element, "<" + element->name + "> is not part of a document");
            }
        }
    } catch (const ExPiError& error) {
        const std::string text = error.getText();
        if (text.rfind("cannot load", 0) == 0)
            throw;
        throwPiError("cannot load the document \"" + sourceName + "\": " + text);
    }

    // The loaded nodes replace the current ones.
    std::vector<RCShdPtr<PiNode>> previous = std::move(_nodes);
    for (auto& node : previous) {
        dropProcNodes(*node);
        node->_graph = nullptr;
    }
    _procNodes.clear();
    _commandStack.clear();
    _nodes = std::move(loaded->_nodes);
    loaded->_nodes.clear();
    for (auto& node : _nodes)
        node->_graph = this;
    PiRecordingSuspender restoring(_commandStack);
    for (auto& node : _nodes)
        if (PiNodeController* controller = node->getController())
            controller->nodeLoaded();
}

} // namespace Kr
