#pragma once
// Reads the declaration sections of a module's XML into records. Every
// error is a CModuleException with a fixed message; declarations read before
// the error stay in the module.

#include "records/InstructionInfo.h"

#include <string>
#include <vector>

namespace bram {

class CModule;
class CLoadingProgress;
class CXmlNode;
class CTypeInfo;
class CBlockInfo;

class CModuleReader {
public:
    CModuleReader(CModule& module, CLoadingProgress* progress) : m_module(module), m_progress(progress) {}

    // Each takes its section element, which may be null (a missing section).
    void ReadTypes(const CXmlNode& types);
    void ReadBlocks(const CXmlNode& blocks);
    void ReadConstants(const CXmlNode& constants);
    void ReadStructures(const CXmlNode& structures);
    void ReadCalls(const CXmlNode& calls);
    void ReadScripts(const CXmlNode& scripts);

private:
    // Reads each child of a required section, with its progress fractions.
    void ReadSection(const CXmlNode& section, const char* missing, const char* detailKey, const char* child,
                     double base, double span, double end, void (CModuleReader::*read)(const CXmlNode&));
    void ReadType(const CXmlNode& type);
    void ReadBlock(const CXmlNode& block);
    void ReadConstant(const CXmlNode& constant);
    void ReadStructure(const CXmlNode& structure) { ReadInstruction(structure, true); }
    void ReadCall(const CXmlNode& call) { ReadInstruction(call, false); }
    void ReadInstruction(const CXmlNode& declaration, bool structure);
    void ReadScript(const CXmlNode& script);
    CParameterList ReadParameters(const CXmlNode& parameters);
    std::unique_ptr<CParameterInfo> ReadParameter(const CXmlNode& parameter, std::size_t index);

    const CTypeInfo* ResolveType(const CXmlNode& declaration, const char* kindPath);
    const CBlockInfo* ResolveBlock(const CXmlNode& reference);
    // The referenced name and the named module (null when none was named);
    // path + suffix names the reference element in the messages.
    std::pair<std::string, const CModule*> ReadReference(const CXmlNode& reference, const char* path,
                                                         const char* suffix);
    const CModule* FindNeededModule(const std::string& name) const;

    void Progress(double base, double span, std::size_t i, std::size_t n) const;
    void Detail(const char* key) const;

    CModule& m_module;
    CLoadingProgress* m_progress;
};

} // namespace bram
