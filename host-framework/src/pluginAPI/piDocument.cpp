// Saving and loading documents.
//
//   <document version="1">
//     <node name="P" tool="Constant">            (group="G" when inside a group)
//       <value name="Color">1 0 0 1</value>
//     </node>
//     <group name="G" open="0"/>
//     <boundary name="G.out" group="G" output="Out"/>
//     <connection input="S" socket="Selected Image" source="P" output="Output"/>
//     <connection input="S" socket="Other Images" entry="0"/>    (an unconnected entry)
//   </document>
//
// Nodes come first (groups before their members), then connections in input order, so
// multi-valued entries come back in their order.

#include <Kr/PiGraph.h>

#include <Kr/PiErrors.h>
#include <Kr/PiNodeController.h>

#include "piXmlTree.h"

#include <fstream>
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

} // namespace

std::string PiGraph::saveToText() const {
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<document version=\"1\">\n";
    auto groupAttribute = [](const PiNode& node) {
        RCShdPtr<PiGroupNode> group = node.getGroup();
        return group ? " group=\"" + PiXml::escape(group->getName()) + "\"" : std::string();
    };
    for (const auto& node : _nodes)
        if (auto* group = dynamic_cast<const PiGroupNode*>(node.get()))
            out << "  <group name=\"" << PiXml::escape(group->getName()) << "\" open=\"" << group->isOpen() << "\""
                << groupAttribute(*group) << "/>\n";
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
            out << "    <value name=\"" << PiXml::escape(value->getName()) << "\">" << PiXml::escape(value->toText())
                << "</value>\n";
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
        for (const auto& element : root->children) {
            if (element->name == "group") {
                auto group = loaded->createGroup(element->get("name"));
                group->setOpen(element->get("open") == "1");
                placeInGroup(*element, group);
            } else if (element->name == "boundary") {
                if (!element->has("group"))
                    refuse(*element, "a boundary node needs a group");
                auto group = findIn(*element, element->get("group")).dynamicCast<PiGroupNode>();
                if (!group)
                    refuse(*element, "\"" + element->get("group") + "\" is not a group");
                loaded->createBoundary(group, element->get("name"), element->get("output"));
            } else if (element->name == "node") {
                RCShdPtr<PiNode> node = loaded->createNode(element->get("tool"), element->get("name"));
                placeInGroup(*element, node);
                for (const auto& child : element->children) {
                    if (child->name != "value")
                        refuse(*child, "<" + child->name + "> is not allowed in a node");
                    RCShdPtr<PiValue> value = node->getValue(child->get("name"));
                    if (!value)
                        refuse(*child, "node \"" + node->getName() + "\" has no value \"" + child->get("name") + "\"");
                    value->fromText(child->text);
                }
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
