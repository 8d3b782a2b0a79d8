// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>
#include <Kr/OPtr.h>
#include <Kr/PiNodeController.h>
#include <Kr/PiSocket.h>
#include <Kr/PiToolDescriptor.h>
#include <Kr/PiToolProtocol.h>
#include <Kr/PiValue.h>
#include <Kr/PxImage.h>
#include <Kr/RC.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Kr {

namespace PiImageModifierTypes {
enum MaskingMode { NoMasking = 0, MaskOnly = 1, MaskAndInvert = 2 };
// Affect types, as bits.
enum AffectType { AffectAlpha = 1, AffectColor = 2, AffectDepth = 4 };
} // namespace PiImageModifierTypes

// How a node treats one of its inputs.
class KR_EXPORT PiInputPolicy : public RCBase<LkCounter<int>> {
public:
    ~PiInputPolicy() override;
    virtual bool isPrimary() const { return false; }
    virtual bool isOptional() const { return true; }
};

class KR_EXPORT PiImageInputPolicy : public PiInputPolicy {
public:
    // The policy of a tool's primary image input: accepted formats and components (bits),
    // number of streams, what a reset does, and whether the input may stay unconnected.
    static RCShdPtr<PiImageInputPolicy> createPrimary(int formats, int components, int nbStreams, int resetType,
                                                      bool optional);
    // The policy of a mask input.
    static RCShdPtr<PiImageInputPolicy> createMask();

    ~PiImageInputPolicy() override;
    bool isPrimary() const override { return _primary; }
    bool isOptional() const override { return _optional; }
    int getFormats() const { return _formats; }
    int getComponents() const { return _components; }
    int getNbStreams() const { return _nbStreams; }
    int getResetType() const { return _resetType; }

private:
    PiImageInputPolicy(bool primary, int formats, int components, int nbStreams, int resetType, bool optional);
    bool _primary;
    int _formats;
    int _components;
    int _nbStreams;
    int _resetType;
    bool _optional;
};

// A handle on a shared, read-only list; null until a list is given.
template <class T> class KR_EXPORT Iterator {
public:
    using const_iterator = typename std::vector<T>::const_iterator;

    Iterator() = default;
    explicit Iterator(std::shared_ptr<const std::vector<T>> list) : _list(std::move(list)) {}

    bool isNull() const;
    const_iterator begin() const { return _list ? _list->begin() : const_iterator(); }
    const_iterator end() const { return _list ? _list->end() : const_iterator(); }
    std::size_t size() const { return _list ? _list->size() : 0; }

private:
    std::shared_ptr<const std::vector<T>> _list;
};

template <class T> bool Iterator<T>::isNull() const {
    return _list == nullptr;
}

// The input policies a tool description declares, and its primary input.
class KR_EXPORT PiToolPolicyDescriptor {
public:
    class KR_EXPORT PolicyEntry {
    public:
        PolicyEntry(std::string name, RCShdPtr<PiInputPolicy> policy)
            : _name(std::move(name)), _policy(std::move(policy)) {}
        const std::string& getName() const { return _name; }
        const RCShdPtr<PiInputPolicy>& getPtr() const { return _policy; }

    private:
        std::string _name;
        RCShdPtr<PiInputPolicy> _policy;
    };

    PiToolPolicyDescriptor();
    virtual ~PiToolPolicyDescriptor();

    // The name of the input whose policy is primary; empty when none was declared.
    std::string getPrimaryInput() const { return _primaryInput; }
    // A non-null list, possibly empty.
    Iterator<PolicyEntry> getPolicies() const;
    void addPolicy(const std::string& inputName, const RCShdPtr<PiInputPolicy>& policy);

private:
    std::string _primaryInput;
    std::shared_ptr<std::vector<PolicyEntry>> _policies;
};

// The controller of image-modifier tools: one image input (the primary one), one image
// output, mute and affect values, masking. Its processing node is made by
// createImageProcNode on the processing node of the primary input; a muted node passes its
// input through.
class KR_EXPORT PiToolInterface : public virtual PiNodeController {
public:
    ~PiToolInterface() override;
    // Returns the node to its defaults; the framework's part resets nothing.
    virtual void reset();
    const std::vector<std::pair<std::string, RCShdPtr<PiInputPolicy>>>& getInputPolicies() const {
        return _inputPolicies;
    }

private:
    friend class PiToolInterfaceManip;
    std::vector<std::pair<std::string, RCShdPtr<PiInputPolicy>>> _inputPolicies;
};

class KR_EXPORT PiToolInterfaceManip {
public:
    static void addInputPolicy(PiToolInterface& controller, const std::string& inputName,
                               const RCShdPtr<PiInputPolicy>& policy);
};

class KR_EXPORT PiImageModifier : public PiToolInterface,
                                  public PiToolTopologyInterface,
                                  public PiUserInterface,
                                  public PiSchematicInterface,
                                  public PiOutcomeInterface {
public:
    // Records an image modifier's description and passes its declarations on to the host's
    // tool descriptor, if there is one behind it.
    class KR_EXPORT Descriptor : public PiToolPolicyDescriptor {
    public:
        explicit Descriptor(PiToolDescriptor* toolDescriptor);
        ~Descriptor() override;

        void stores(const std::string& valueName, int valueType);
        void produces(const std::string& outputName, int socketType);
        void setMaskingMode(int maskingMode);

        // Whether the mute value was declared.
        bool canMute() const;
        // Whether the affect value was declared and covers the affect type.
        bool canAffect(int affectType) const;
        // Whether the tool has exactly one image input and one image output.
        bool canBeDisplayModifier() const;
        PiImageModifierTypes::MaskingMode getMaskingMode() const { return _maskingMode; }

        PiToolDescriptor* getToolDescriptor() const { return _toolDescriptor; }
        // Everything declared, in order, whether or not a tool descriptor is behind.
        const std::vector<PiToolDescriptor::Declaration>& getDeclarations() const { return _record.getDeclarations(); }

    private:
        friend class PiImageModifier;
        void addInput(const std::string& name, int socketType, int cardinality);
        void addMasking();

        PiToolDescriptor* _toolDescriptor;
        PiToolDescriptor _record;
        PiImageModifierTypes::MaskingMode _maskingMode = PiImageModifierTypes::NoMasking;
    };

    // Parameters of a processing-node request.
    struct ProcContext {
        std::string nodeName;
    };

    explicit PiImageModifier(std::string editorFileName);
    ~PiImageModifier() override;

    // Resets the mute and affect values.
    void reset() override;
    void createProcNodes(OutputPublisher& publisher) override;
    std::string getXmlFileName() const override;
    // Adds the mask input's policy (used when the masking mode is not NoMasking).
    void addMaskingInputPolicies();
    // The name of the input whose policy is primary.
    std::string getPrimaryInputName() const;

    // Makes the node's processing node on its input's; by default a node that passes the
    // input through.
    virtual PxStrongHndl<PxImageProtocol> createImageProcNode(const ProcContext& context,
                                                              const PxNodePtr<const PxImageProtocol>& input);

    static void registerTool(OPtr<PiToolProtocol> tool);
    static void addSingleImageInput(Descriptor& descriptor, const RCShdPtr<PiImageInputPolicy>& policy,
                                    int cardinality);
    static void describeMasking(Descriptor& descriptor);
    static std::string getMuteValueName();
    static std::string getAffectValueName();
    static std::string getOutputName();
    static std::string getInputName();
    static std::string getMaskInputName();

private:
    std::string _editorFileName;
};

// The six description queries of an image-modifier tool, answered from its cache.
class KR_EXPORT PiImageModifierProtocol {
public:
    virtual ~PiImageModifierProtocol();
    virtual bool canMute() const = 0;
    virtual bool canAffectColor() const = 0;
    virtual bool canAffectDepth() const = 0;
    virtual bool canAffectAlpha() const = 0;
    virtual bool canBeDisplayModifier() const = 0;
    virtual PiImageModifierTypes::MaskingMode getMaskingMode() const = 0;
    // Refuses a description the framework cannot host (an unknown masking mode, a display
    // modifier without output).
    virtual void checkRequirements() const;
};

// A tool description made of input policies, described once lazily (or on every host
// request) and cached. A tool specialises describe(D&) const with its own description.
template <class T, class D>
class KR_EXPORT PiToolPolicyProtocol : public PiToolInterfaceManip, public virtual PiToolProtocol {
protected:
    PiToolPolicyProtocol();
    virtual ~PiToolPolicyProtocol();

public:
    virtual void describe(D& descriptor) const;
    virtual void copyFromDescriptor(D& descriptor) const;
    virtual void initializeController(T& controller) const;

    std::string getPrimaryInput() const override;
    void describe(PiToolDescriptor& toolDescriptor) override;
    OPtrRet<PiNodeController> createController() const override;

protected:
    // Describes into a descriptor with no tool descriptor behind, unless already described.
    void describe() const;

    mutable std::string _primaryInput;
    mutable Iterator<PiToolPolicyDescriptor::PolicyEntry> _policies;
};

template <class T, class D> PiToolPolicyProtocol<T, D>::PiToolPolicyProtocol() = default;

template <class T, class D> PiToolPolicyProtocol<T, D>::~PiToolPolicyProtocol() = default;

template <class T, class D> void PiToolPolicyProtocol<T, D>::copyFromDescriptor(D& descriptor) const {
    _primaryInput = descriptor.getPrimaryInput();
    _policies = descriptor.getPolicies();
}

template <class T, class D> void PiToolPolicyProtocol<T, D>::initializeController(T& controller) const {
    for (const auto& entry : _policies)
        PiToolInterfaceManip::addInputPolicy(controller, entry.getName(), entry.getPtr());
}

template <class T, class D> std::string PiToolPolicyProtocol<T, D>::getPrimaryInput() const {
    describe();
    return _primaryInput;
}

template <class T, class D> void PiToolPolicyProtocol<T, D>::describe(PiToolDescriptor& toolDescriptor) {
    D descriptor(&toolDescriptor);
    describe(descriptor);
    copyFromDescriptor(descriptor);
}

template <class T, class D> OPtrRet<PiNodeController> PiToolPolicyProtocol<T, D>::createController() const {
    describe();
    OPtr<T> controller(new T());
    initializeController(*controller);
    return OPtrRet<PiNodeController>(std::move(controller));
}

template <class T, class D> void PiToolPolicyProtocol<T, D>::describe() const {
    if (!_policies.isNull())
        return;
    D descriptor(nullptr);
    describe(descriptor);
    copyFromDescriptor(descriptor);
}

// The registered object of an image-modifier tool: the policy protocol plus the image
// modifier's full description and its cache of the six queries.
template <class T>
class KR_EXPORT PiImageModifierInfo : public PiImageModifierProtocol,
                                      public PiToolPolicyProtocol<T, PiImageModifier::Descriptor>,
                                      public PiToolProtocolImp {
    using Policy = PiToolPolicyProtocol<T, PiImageModifier::Descriptor>;

public:
    PiImageModifierInfo(std::string name, std::string category, std::string productName, std::string manufacturer,
                        std::string version, int schemaNb, std::string description, int visibility, int structure);
    ~PiImageModifierInfo() override;

    bool canMute() const override;
    bool canAffectColor() const override;
    bool canAffectDepth() const override;
    bool canAffectAlpha() const override;
    bool canBeDisplayModifier() const override;
    PiImageModifierTypes::MaskingMode getMaskingMode() const override;

    using Policy::describe;
    // The mute and affect values, the output, the tool's own description, then masking.
    void describe(PiImageModifier::Descriptor& descriptor) const override;
    void copyFromDescriptor(PiImageModifier::Descriptor& descriptor) const override;
    void initializeController(T& controller) const override;

private:
    mutable bool _canMute = false;
    mutable bool _canAffectColor = false;
    mutable bool _canAffectDepth = false;
    mutable bool _canAffectAlpha = false;
    mutable bool _canBeDisplayModifier = false;
    mutable PiImageModifierTypes::MaskingMode _maskingMode = PiImageModifierTypes::NoMasking;
};

template <class T>
PiImageModifierInfo<T>::PiImageModifierInfo(std::string name, std::string category, std::string productName,
                                            std::string manufacturer, std::string version, int schemaNb,
                                            std::string description, int visibility, int structure)
    : PiToolProtocolImp(std::move(name), std::move(category), std::move(productName), std::move(manufacturer),
                        std::move(version), schemaNb, std::move(description), visibility, structure) {}

template <class T> PiImageModifierInfo<T>::~PiImageModifierInfo() = default;

template <class T> bool PiImageModifierInfo<T>::canMute() const {
    Policy::describe();
    return _canMute;
}

template <class T> bool PiImageModifierInfo<T>::canAffectColor() const {
    Policy::describe();
    return _canAffectColor;
}

template <class T> bool PiImageModifierInfo<T>::canAffectDepth() const {
    Policy::describe();
    return _canAffectDepth;
}

template <class T> bool PiImageModifierInfo<T>::canAffectAlpha() const {
    Policy::describe();
    return _canAffectAlpha;
}

template <class T> bool PiImageModifierInfo<T>::canBeDisplayModifier() const {
    Policy::describe();
    return _canBeDisplayModifier;
}

template <class T> PiImageModifierTypes::MaskingMode PiImageModifierInfo<T>::getMaskingMode() const {
    Policy::describe();
    return _maskingMode;
}

template <class T> void PiImageModifierInfo<T>::describe(PiImageModifier::Descriptor& descriptor) const {
    descriptor.stores(PiImageModifier::getMuteValueName(), PiValueType::boolean);
    descriptor.stores(PiImageModifier::getAffectValueName(), PiValueType::real);
    descriptor.produces(PiImageModifier::getOutputName(), PiSocketType::image);
    Policy::describe(descriptor);
    PiImageModifier::describeMasking(descriptor);
}

template <class T> void PiImageModifierInfo<T>::copyFromDescriptor(PiImageModifier::Descriptor& descriptor) const {
    Policy::copyFromDescriptor(descriptor);
    _canMute = descriptor.canMute();
    _canAffectColor = descriptor.canAffect(PiImageModifierTypes::AffectColor);
    _canAffectDepth = descriptor.canAffect(PiImageModifierTypes::AffectDepth);
    _canAffectAlpha = descriptor.canAffect(PiImageModifierTypes::AffectAlpha);
    _canBeDisplayModifier = descriptor.canBeDisplayModifier();
    _maskingMode = descriptor.getMaskingMode();
    this->checkRequirements();
}

template <class T> void PiImageModifierInfo<T>::initializeController(T& controller) const {
    Policy::initializeController(controller);
    if (_maskingMode != PiImageModifierTypes::NoMasking)
        controller.addMaskingInputPolicies();
}

} // namespace Kr
