// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>
#include <Kr/PiErrors.h>
#include <Kr/RC.h>

#include <array>
#include <sstream>
#include <string>
#include <string_view>

namespace Kr {

class PiNode;

// Value type codes.
namespace PiValueType {
inline constexpr int boolean = 0;
inline constexpr int integer = 1;
inline constexpr int real = 2;
inline constexpr int color = 3;
inline constexpr int text = 4;
} // namespace PiValueType

// An RGBA colour, components nominally 0 to 1.
struct PiColor {
    std::array<float, 4> rgba{0, 0, 0, 1};
    friend bool operator==(const PiColor&, const PiColor&) = default;
};

// A named value of a node, stored with the document. Changes are recorded on the
// document's command stack and raise the node event ValueChanged.
class KR_EXPORT PiValue : public RCBase<LkCounter<int>> {
public:
    PiValue(PiNode& node, std::string name, int valueType);
    ~PiValue() override;

    const std::string& getName() const { return _name; }
    int getValueType() const { return _valueType; }
    RCShdPtr<PiNode> getNode() const;

    // Returns the value to its default.
    virtual void reset() = 0;
    virtual bool isDefault() const = 0;
    // The value as saved in a document, and back.
    virtual std::string toText() const = 0;
    // Refused with an error naming the value when the text does not fit the type.
    virtual void fromText(const std::string& text) = 0;
    // The current value becomes the default (used when a tool declares a default).
    virtual void makeCurrentDefault() = 0;

protected:
    // Records the change (undo and redo apply the given texts) and raises the node event.
    void changed(const std::string& before, const std::string& after);

private:
    friend class PiNode;
    void forgetNode() { _node = nullptr; }

    PiNode* _node;
    std::string _name;
    int _valueType;
};

// Numbers as value texts: the shortest text that reads back to the same number, so that
// saving, loading, undo and redo never change a value. Reading takes what older documents
// hold too (a leading '+', any number of digits); "inf" and "nan" are read and written.
KR_EXPORT std::string piNumberText(double value);
KR_EXPORT std::string piNumberText(float value);
KR_EXPORT bool piReadNumber(std::string_view text, double& value);
KR_EXPORT bool piReadNumber(std::string_view text, float& value);

// Text conversions of the value types.
template <class T> struct PiValueTraits;

template <> struct PiValueTraits<bool> {
    static constexpr int type = PiValueType::boolean;
    static std::string toText(bool v) { return v ? "1" : "0"; }
    static bool fromText(const std::string& t, bool& v) {
        if (t == "1" || t == "true")
            v = true;
        else if (t == "0" || t == "false")
            v = false;
        else
            return false;
        return true;
    }
};

template <> struct PiValueTraits<int> {
    static constexpr int type = PiValueType::integer;
    static std::string toText(int v) { return std::to_string(v); }
    static bool fromText(const std::string& t, int& v) {
        std::istringstream in(t);
        return (in >> v) && (in >> std::ws).eof();
    }
};

template <> struct PiValueTraits<double> {
    static constexpr int type = PiValueType::real;
    static std::string toText(double v) { return piNumberText(v); }
    static bool fromText(const std::string& t, double& v) { return piReadNumber(t, v); }
};

template <> struct PiValueTraits<std::string> {
    static constexpr int type = PiValueType::text;
    static std::string toText(const std::string& v) { return v; }
    static bool fromText(const std::string& t, std::string& v) {
        v = t;
        return true;
    }
};

// Four components separated by single blanks; reading takes any blanks between them.
template <> struct PiValueTraits<PiColor> {
    static constexpr int type = PiValueType::color;
    static std::string toText(const PiColor& v) {
        return piNumberText(v.rgba[0]) + ' ' + piNumberText(v.rgba[1]) + ' ' + piNumberText(v.rgba[2]) + ' ' +
               piNumberText(v.rgba[3]);
    }
    static bool fromText(const std::string& t, PiColor& v) {
        std::istringstream in(t);
        PiColor c;
        std::string word;
        for (auto& component : c.rgba)
            if (!(in >> word) || !piReadNumber(word, component))
                return false;
        if (!(in >> std::ws).eof())
            return false;
        v = c;
        return true;
    }
};

template <class T> class KR_EXPORT PiTypedValue : public PiValue {
public:
    PiTypedValue(PiNode& node, std::string name, T defaultValue)
        : PiValue(node, std::move(name), PiValueTraits<T>::type), _value(defaultValue), _default(defaultValue) {}

    const T& get() const { return _value; }
    const T& getDefault() const { return _default; }
    void set(const T& value) {
        if (value == _value)
            return;
        const std::string before = toText();
        _value = value;
        changed(before, toText());
    }

    void reset() override { set(_default); }
    bool isDefault() const override { return _value == _default; }
    std::string toText() const override { return PiValueTraits<T>::toText(_value); }
    void fromText(const std::string& text) override {
        T value;
        if (!PiValueTraits<T>::fromText(text, value))
            throwPiError("cannot set value \"" + getName() + "\" to \"" + text + "\": not a valid " + typeNameOf<T>());
        set(value);
    }
    void makeCurrentDefault() override { _default = _value; }

private:
    T _value;
    T _default;
};

// Typed access to a value. With check-null mode 0 an absent or differently typed value is
// refused at once; with mode 1 the access is made empty and each use raises the null-pointer
// exception naming PiTypedValue<T>.
template <class T> class PiTypedValueUtil {
public:
    PiTypedValueUtil(const RCShdPtr<PiValue>& value, int checkNullMode) {
        if (checkNullMode == 0)
            _value = value.cast<PiTypedValue<T>>();
        else
            _value = value.dynamicCast<PiTypedValue<T>>();
        if (checkNullMode == 0 && _value.isNull())
            RCExUtil::throwExNullPtr(typeNameOf<PiTypedValue<T>>());
    }

    bool isNull() const { return _value.isNull(); }
    const T& get() const { return _value->get(); }
    void set(const T& value) const { _value->set(value); }
    void reset() const { _value->reset(); }
    const RCShdPtr<PiTypedValue<T>>& getValue() const { return _value; }

private:
    RCShdPtr<PiTypedValue<T>> _value;
};

} // namespace Kr
