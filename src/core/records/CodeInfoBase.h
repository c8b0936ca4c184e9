#pragma once
// Definition records: one immutable object per declaration a module makes
// (types, blocks, structures, calls, parameters). Code nodes keep a pointer
// to the record they were made from; the owning module keeps the record
// alive until all modules are released at shut-down.

#include <memory>
#include <string>

namespace bram {

class CModuleBase;
class CTypeInfo;
class CParameterInfo;
class CCodeBase;

// What a record declares, so that a caller can tell calls from structures
// (both are instructions) without casting.
enum class EDefinitionKind { Type, Block, Structure, Call, Parameter };

class CCodeInfoBase {
public:
    virtual ~CCodeInfoBase() = default;
    CCodeInfoBase(const CCodeInfoBase&) = delete;
    CCodeInfoBase& operator=(const CCodeInfoBase&) = delete;

    // The owning module's text for "Namespace/Name".
    virtual std::string GetLocalizedName() const;
    virtual std::string GetLocalizedDescription() const = 0;
    virtual std::string GetLocalizedShortDescription() const = 0;
    // Kinds without parameters fail an internal check and answer null.
    virtual const CParameterInfo* GetParameter(unsigned index) const;
    virtual unsigned GetParameterCount() const { return 0; }
    // A new code node made from this record.
    virtual std::unique_ptr<CCodeBase> CreateCode() const = 0;
    virtual EDefinitionKind GetKind() const = 0;

    const std::string& GetName() const { return m_name; }
    const std::string& GetNamespace() const { return m_namespace; }
    const std::string& GetDescription() const { return m_description; }
    const std::string& GetShortDescription() const { return m_shortDescription; }
    const std::string& GetCategories() const { return m_categories; }
    const std::string& GetRawInstruction() const { return m_rawInstruction; }
    const CModuleBase* GetModule() const { return m_module; }
    // The return type of a call, the type of a structure, block or
    // parameter; a type record answers itself.
    const CTypeInfo* GetType() const { return m_type; }

    // What every record carries; each kind's constructor fills it.
    struct Fields {
        std::string name;
        std::string nameSpace;
        std::string description;
        std::string shortDescription;
        std::string categories;
        std::string rawInstruction;
        const CModuleBase* module = nullptr;
        const CTypeInfo* type = nullptr;
    };

protected:
    explicit CCodeInfoBase(Fields fields);
    // The module's text for a stored reference ("file/key" or plain text).
    std::string Localize(const std::string& reference) const;
    void SetType(const CTypeInfo* type) { m_type = type; }

private:
    std::string m_name;
    std::string m_namespace;
    std::string m_description;
    std::string m_shortDescription;
    std::string m_categories;
    std::string m_rawInstruction;
    const CModuleBase* m_module;
    const CTypeInfo* m_type;
};

} // namespace bram
