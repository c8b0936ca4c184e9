#pragma once
// Literal values typed by the user, owned by the parameter that holds them,
// and the string conversion of literals, comments and whole scripts.

#include "code/Constant.h"

namespace bram {

class CUserDefinedValue : public CValueBase {
public:
    const CTypeInfo* GetType() const override { return m_valueType; }
    bool UsesModule(const CModuleBase* module) const override;

protected:
    // requiredRealType: the real-type bit the literal's kind needs.
    CUserDefinedValue(const CTypeInfo* type, std::uint32_t requiredRealType);
    const CTypeInfo* m_valueType;
};

class CBoolValue : public CUserDefinedValue {
public:
    CBoolValue(const CTypeInfo* type, bool value);
    bool GetValue() const { return m_value; }
    void SetValue(bool value) { m_value = value; }
    std::string GetCode(int level) const override;
    std::string GetText() const override;
    CCodeBase* Clone() const override;

private:
    bool m_value;
};

class CNumberValue : public CUserDefinedValue {
public:
    explicit CNumberValue(const CTypeInfo* type);
    double GetValue() const { return m_value; }
    void SetValue(double value) { m_value = value; }
    std::string GetCode(int level) const override { return CodeByAppending(level); }
    void AppendCode(std::string& out, int level) const override;
    std::string GetText() const override;
    CCodeBase* Clone() const override;

private:
    double m_value = 0.0;
};

class CStringValue : public CUserDefinedValue {
public:
    CStringValue(std::string value, const CTypeInfo* type);
    const std::string& GetValue() const { return m_value; }
    void SetValue(std::string value) { m_value = std::move(value); }
    std::string GetCode(int level) const override { return CodeByAppending(level); }
    void AppendCode(std::string& out, int level) const override;
    std::string GetText() const override;
    CCodeBase* Clone() const override;

private:
    std::string m_value;
};

// The text as a string literal of the type: start string, the type's
// replacements in order (each over the result of the ones before), end string.
std::string ConvertString(const std::string& text, const CTypeInfo* type);
void AppendConvertedString(std::string& out, const std::string& text, const CTypeInfo* type);

// "%.2f" with a point, whatever the locale.
std::string FormatNumber(double value);
void AppendNumber(std::string& out, double value);

// The script words for true and false, read once from the boolean
// definition file on first use.
const std::string& GetBooleanCode(bool value);
// Forgets the words (a new start-up reads them again).
void ResetBooleanDefinitions();

} // namespace bram
