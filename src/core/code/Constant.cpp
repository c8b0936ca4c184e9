#include "code/Constant.h"

#include "code/Records.h"
#include "log/Assertion.h"

namespace bram {

bool CValueBase::IsEnabled() const
{
    const CCodeBase* parent = GetParent();
    BRAMBLETON_ASSERT(parent != nullptr);
    return parent != nullptr && parent->IsEnabled();
}

CConstant::CConstant(const CTypeInfo* type, std::string name, std::string nameSpace, std::string value,
                     const CModuleBase* module)
    : m_name(std::move(name)),
      m_namespace(std::move(nameSpace)),
      m_value(std::move(value)),
      m_constantType(type),
      m_module(module)
{
    BRAMBLETON_ASSERT(type != nullptr);
    BRAMBLETON_ASSERT(type == nullptr || (type->GetRealType() & ~RealTypeVariable) != 0);
    BRAMBLETON_ASSERT(!m_name.empty());
}

std::string CConstant::GetCode(int) const { return m_value; }

std::string CConstant::GetText() const
{
    const std::string reference = m_namespace + "/" + m_name;
    return m_module != nullptr ? m_module->Localize(reference) : reference;
}

CCodeBase* CConstant::Clone() const { return const_cast<CConstant*>(this); }

bool CConstant::UsesModule(const CModuleBase* module) const
{
    return module != nullptr &&
           (m_module == module || (m_constantType != nullptr && m_constantType->GetModule() == module));
}

} // namespace bram
