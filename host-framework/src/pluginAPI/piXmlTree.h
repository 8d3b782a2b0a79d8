#pragma once

// A small element tree read with expat, for the framework's own files (editor
// descriptions, documents, preferences).

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Kr::PiXml {

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::vector<std::unique_ptr<Element>> children;
    std::string text;
    int line = 0;

    // Empty when absent.
    std::string get(const std::string& attribute) const;
    bool has(const std::string& attribute) const { return attributes.count(attribute) > 0; }
};

// Refused with an error naming sourceName, the line and the fault.
std::unique_ptr<Element> parse(const std::string& text, const std::string& sourceName);

// Text with the five XML special characters escaped, for attributes and contents.
std::string escape(const std::string& text);

} // namespace Kr::PiXml
