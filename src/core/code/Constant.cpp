#include "code/Constant.h"

#include "log/Assertion.h"
#include "modules/Module.h"
#include "records/TypeInfo.h"

namespace bram {

CConstant::CConstant(const CTypeInfo* type, std::string name, std::string nameSpace, std::string value,
                     const CModule* module)
    : m_name(std::move(name)), m_namespace(std::move(nameSpace)), m_value(std::move(value)), m_type(type),
      m_module(module)
{
    BRAMBLETON_ASSERT(type != nullptr);
    BRAMBLETON_ASSERT(type == nullptr || (type->GetRealType() & ~static_cast<std::uint32_t>(RealTypeVariable)) != 0);
    BRAMBLETON_ASSERT(!m_name.empty());
}

std::string CConstant::GetCode(int /*level*/) const { return m_value; }

std::string CConstant::GetText() const
{
    const std::string reference = m_namespace + "/" + m_name;
    return m_module != nullptr ? m_module->Localize(reference) : reference;
}

bool CConstant::UsesModule(const CModule* module) const
{
    return module != nullptr && (module == m_module || (m_type != nullptr && m_type->GetModule() == module));
}

} // namespace bram
