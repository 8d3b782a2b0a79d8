// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>

#include <string>
#include <vector>

namespace Kr {

// What a tool declares for its nodes, in declaration order.
class KR_EXPORT PiToolDescriptor {
public:
    enum Kind { Input, Output, Value, Masking };

    struct Declaration {
        Kind kind;
        std::string name;
        // Socket type (inputs, outputs), value type (values) or masking mode.
        int type;
        int cardinality;
        // Default of a value, as text; empty means the type's own default.
        std::string defaultText;
    };

    PiToolDescriptor() = default;
    virtual ~PiToolDescriptor();

    // Names must be unique among a node's inputs and outputs, and among its values.
    void addInput(const std::string& name, int socketType, int cardinality);
    void addOutput(const std::string& name, int socketType);
    void addValue(const std::string& name, int valueType, const std::string& defaultText = {});
    void addMasking(int maskingMode);

    const std::vector<Declaration>& getDeclarations() const { return _declarations; }

private:
    void checkUnique(const std::string& name, bool value) const;
    std::vector<Declaration> _declarations;
};

} // namespace Kr
