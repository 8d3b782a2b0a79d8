// SPDX-License-Identifier: Apache-2.0
// Saving documents; piGraphLoad.cpp reads them back. The format:
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

#include "piXmlTree.h"

#include <cstdio>
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

} // namespace Kr
