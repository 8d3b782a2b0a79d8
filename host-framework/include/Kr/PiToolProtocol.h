// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>
#include <Kr/OPtr.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Kr {

class PiNodeController;
class PiToolDescriptor;

// A tool: the description object a plug-in registers. The framework calls describe() for a
// new node's sockets and values and createController() for its controller, which it owns.
class KR_EXPORT PiToolProtocol {
public:
    virtual ~PiToolProtocol();

    virtual std::string getProductName() const = 0;
    virtual std::string getCategory() const = 0;
    virtual std::string getManufacturer() const = 0;
    virtual std::string getVersion() const = 0;
    virtual int getSchemaNb() const = 0;
    virtual std::string getDescription() const = 0;
    virtual bool isInternal() const = 0;
    virtual bool isSuperTool() const = 0;
    virtual std::string getPrimaryInput() const = 0;
    virtual void describe(PiToolDescriptor& descriptor) = 0;
    virtual OPtrRet<PiNodeController> createController() const = 0;
    virtual bool allowsAutomaticBackwardComp() const;
    // The tool's name, by which nodes are created.
    virtual std::string getShortToolName() const = 0;

    static std::string getUtilityCategory();
};

// Visibility and structure codes of a tool.
namespace PiToolCodes {
inline constexpr int visible = 1;
inline constexpr int internal = 0;
inline constexpr int simpleTool = 0;
inline constexpr int superTool = 1;
} // namespace PiToolCodes

// A tool description that keeps its constructor arguments for the getters.
class KR_EXPORT PiToolProtocolImp : public virtual PiToolProtocol {
public:
    PiToolProtocolImp(std::string name, std::string category, std::string productName, std::string manufacturer,
                      std::string version, int schemaNb, std::string description, int visibility, int structure);
    ~PiToolProtocolImp() override;

    std::string getProductName() const override { return _productName; }
    std::string getCategory() const override { return _category; }
    std::string getManufacturer() const override { return _manufacturer; }
    std::string getVersion() const override { return _version; }
    int getSchemaNb() const override { return _schemaNb; }
    std::string getDescription() const override { return _description; }
    bool isInternal() const override { return _visibility != PiToolCodes::visible; }
    bool isSuperTool() const override { return _structure == PiToolCodes::superTool; }
    std::string getShortToolName() const override { return _name; }

    int getVisibility() const { return _visibility; }
    int getStructure() const { return _structure; }

private:
    std::string _name;
    std::string _category;
    std::string _productName;
    std::string _manufacturer;
    std::string _version;
    int _schemaNb;
    std::string _description;
    int _visibility;
    int _structure;
};

// A tool of this product line: product, manufacturer and version are the line's own.
class KR_EXPORT PiCorvathToolProtocol : public PiToolProtocolImp {
public:
    PiCorvathToolProtocol(std::string name, std::string category, int schemaNb, std::string description, int visibility,
                          int structure);
    ~PiCorvathToolProtocol() override;

    static std::string getCorvathProductName();
    static std::string getCorvathManufacturer();
    static std::string getCorvathVersionString();
};

// Owns the registered tools and finds them by name.
class KR_EXPORT PiToolRegistry {
public:
    static PiToolRegistry& getInstance();

    // Takes ownership. A tool of the same name replaces the one registered before.
    void registerTool(OPtr<PiToolProtocol> tool);
    // Destroys the tool of that name; false when there is none.
    bool unregisterTool(const std::string& name);
    // Null when no tool has that name.
    PiToolProtocol* findTool(const std::string& name) const;
    std::vector<std::string> getToolNames() const;

private:
    PiToolRegistry();
    std::map<std::string, std::unique_ptr<PiToolProtocol>> _tools;
};

} // namespace Kr
