#include "code/Values.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "code/Records.h"
#include "localization/Localization.h"
#include "log/Assertion.h"
#include "settings/ApplicationBase.h"

#include <array>
#include <charconv>
#include <cmath>
#include <optional>

namespace bram {

CUserDefinedValue::CUserDefinedValue(const CTypeInfo* type, std::uint32_t requiredRealType) : m_valueType(type)
{
    BRAMBLETON_ASSERT(type != nullptr && (type->GetRealType() & requiredRealType) != 0);
}

bool CUserDefinedValue::UsesModule(const CModuleBase* module) const
{
    return m_valueType != nullptr && m_valueType->GetModule() == module;
}

namespace {

// NOLINTNEXTLINE(bugprone-reserved-identifier): the checker trips over the implicit copy of the array member
struct BooleanWords {
    std::string code[2];
};

std::optional<BooleanWords>& BooleanCache()
{
    static std::optional<BooleanWords> cache;
    return cache;
}

} // namespace

const std::string& GetBooleanCode(bool value)
{
    auto& cache = BooleanCache();
    if (!cache) {
        std::string folder = "Path";
        std::string file = "BoolDef.xml";
        if (CApplicationBase* app = GetApplication()) {
            folder = app->GetSettingString("Data", "Path", "Path");
            file = app->GetSettingString("Data", "BooleanDefinition", "BoolDef.xml");
        }
        std::string path = WithTrailingSeparator(ToDiskPath(folder)) + ToDiskPath(file);
        if (const auto* core = dynamic_cast<CIniSettings*>(GetApplication())) {
            // Relative data folders are taken from the program folder.
            path = ResolveFrom(TextBeforeLastSeparator(core->GetIniPath()), path);
        }
        CLocalizationTable* table = LoadLocalizationFile(path);
        cache = BooleanWords{{table->Lookup("False"), table->Lookup("True")}};
    }
    return cache->code[value ? 1 : 0];
}

void ResetBooleanDefinitions() { BooleanCache().reset(); }

CBoolValue::CBoolValue(const CTypeInfo* type, bool value) : CUserDefinedValue(type, RealTypeBoolean), m_value(value) {}

std::string CBoolValue::GetCode(int) const { return GetBooleanCode(m_value); }

std::string CBoolValue::GetText() const
{
    return GetLocalizedString(m_value ? "BooleanNames/True" : "BooleanNames/False");
}

CCodeBase* CBoolValue::Clone() const { return new CBoolValue(m_valueType, m_value); }

CNumberValue::CNumberValue(const CTypeInfo* type) : CUserDefinedValue(type, RealTypeNumber) {}

void AppendNumber(std::string& out, double value)
{
    // std::to_chars ignores the locale, so the decimal separator is always a point.
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 2);
    if (result.ec != std::errc()) {
        out += StringPrintf("%.2f", value);
        return;
    }
    out.append(buffer.data(), result.ptr);
}

std::string FormatNumber(double value)
{
    std::string out;
    AppendNumber(out, value);
    return out;
}

std::string CNumberValue::GetText() const { return FormatNumber(m_value); }
void CNumberValue::AppendCode(std::string& out, int) const { AppendNumber(out, m_value); }

CCodeBase* CNumberValue::Clone() const
{
    auto* copy = new CNumberValue(m_valueType);
    copy->SetValue(m_value);
    return copy;
}

CStringValue::CStringValue(std::string value, const CTypeInfo* type)
    : CUserDefinedValue(type, RealTypeString), m_value(std::move(value))
{
}

std::string CStringValue::GetText() const { return "'" + m_value + "'"; }
void CStringValue::AppendCode(std::string& out, int) const { AppendConvertedString(out, m_value, m_valueType); }
CCodeBase* CStringValue::Clone() const { return new CStringValue(m_value, m_valueType); }

void AppendConvertedString(std::string& out, const std::string& text, const CTypeInfo* type)
{
    if (type == nullptr) {
        out += text;
        return;
    }
    // Most texts hold nothing to replace: then it is start, text, end.
    const std::string* start = nullptr;
    const std::string* end = nullptr;
    for (const auto& [what, by] : type->GetReplacements()) {
        if (what == "\x01") {
            start = &by;
        } else if (what == "\x02") {
            end = &by;
        }
        if (text.find(what) != std::string::npos) {
            out += ConvertString(text, type);
            return;
        }
    }
    if (start != nullptr) {
        out += *start;
    }
    out += text;
    if (end != nullptr) {
        out += *end;
    }
}

std::string ConvertString(const std::string& text, const CTypeInfo* type)
{
    if (type == nullptr) {
        return text;
    }
    std::string start;
    std::string end;
    std::string out = text;
    for (const auto& [what, by] : type->GetReplacements()) {
        if (what == "\x01") {
            start = by;
        } else if (what == "\x02") {
            end = by;
        }
        ReplaceAll(out, what, by);
    }
    return start + out + end;
}

} // namespace bram
