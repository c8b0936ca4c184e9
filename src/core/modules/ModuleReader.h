#pragma once
// Reads the declaration sections of a module's XML into records. Every
// error is a CModuleException with a fixed message; declarations read before
// the error stay in the module.

#include "records/InstructionInfo.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace bram {

class CModule;
class CLoadingProgress;
class CXmlIndexNode;
class CTypeInfo;
class CBlockInfo;

// The element names of module XML, numbered for CXmlIndex in the order of
// ModuleXmlNames().
enum EModuleXmlName : int {
    kXmlModule,
    kXmlPriority,
    kXmlNeededModules,
    kXmlNeedsModule,
    kXmlData,
    kXmlTypes,
    kXmlType,
    kXmlName,
    kXmlRealType,
    kXmlCreationInstruction,
    kXmlReplacements,
    kXmlStartString,
    kXmlEndString,
    kXmlReplacement,
    kXmlWhat,
    kXmlBy,
    kXmlNamespace,
    kXmlBlocks,
    kXmlBlock,
    kXmlStartInstruction,
    kXmlEndInstruction,
    kXmlSeparator,
    kXmlStandardValue,
    kXmlConstants,
    kXmlConstant,
    kXmlValue,
    kXmlStructures,
    kXmlStructure,
    kXmlCalls,
    kXmlCall,
    kXmlDescription,
    kXmlShortDescription,
    kXmlCategories,
    kXmlRawInstruction,
    kXmlParameters,
    kXmlParameter,
    kXmlOnlyVariables,
    kXmlMinValue,
    kXmlValues,
    kXmlReferenceTo,
    kXmlScripts,
    kXmlScript,
};
std::span<const std::string_view> ModuleXmlNames();

class CModuleReader {
public:
    CModuleReader(CModule& module, CLoadingProgress* progress) : m_module(module), m_progress(progress) {}

    // Each takes its section element, which may be null (a missing section).
    void ReadTypes(const CXmlIndexNode& types);
    void ReadBlocks(const CXmlIndexNode& blocks);
    void ReadConstants(const CXmlIndexNode& constants);
    void ReadStructures(const CXmlIndexNode& structures);
    void ReadCalls(const CXmlIndexNode& calls);
    void ReadScripts(const CXmlIndexNode& scripts);

private:
    // Reads each child of a required section, with its progress fractions.
    void ReadSection(const CXmlIndexNode& section, const char* missing, const char* detailKey, int child, double base,
                     double span, double end, void (CModuleReader::*read)(const CXmlIndexNode&));
    void ReadType(const CXmlIndexNode& type);
    void ReadBlock(const CXmlIndexNode& block);
    void ReadConstant(const CXmlIndexNode& constant);
    void ReadStructure(const CXmlIndexNode& structure) { ReadInstruction(structure, true); }
    void ReadCall(const CXmlIndexNode& call) { ReadInstruction(call, false); }
    void ReadInstruction(const CXmlIndexNode& declaration, bool structure);
    void ReadScript(const CXmlIndexNode& script);
    CParameterList ReadParameters(const CXmlIndexNode& parameters);
    std::unique_ptr<CParameterInfo> ReadParameter(const CXmlIndexNode& parameter, std::size_t index);

    const CTypeInfo* ResolveType(const CXmlIndexNode& declaration, const char* kindPath);
    const CBlockInfo* ResolveBlock(const CXmlIndexNode& reference);
    // The referenced name and the named module (null when none was named);
    // path + suffix names the reference element in the messages.
    std::pair<std::string, const CModule*> ReadReference(const CXmlIndexNode& reference, const char* path,
                                                         const char* suffix);
    const CModule* FindNeededModule(const std::string& name) const;

    void Progress(double base, double span, std::size_t i, std::size_t n) const;
    void Detail(const char* key) const;

    CModule& m_module;
    CLoadingProgress* m_progress;
};

} // namespace bram
