#include "DataFileFuzzTarget.h"

#include "code/Records.h"
#include "modules/Module.h"

namespace bram::fuzz {

void SetUpDataFileLanguage(const std::string& coreXml, const std::string& standardXml)
{
    CModule* core = CreateModuleFromXml("core", coreXml);
    CreateModuleFromXml("standard", standardXml);
    CGenerationSettings& settings = CGenerationSettings::Instance();
    settings.Clear();
    CTriggerDefinitions definitions;
    definitions.triggerPrefix = "trg_";
    definitions.functionPrefix = "fn_";
    definitions.functionDefinition = "function ![Parameter1](event)";
    definitions.triggerDefinition = "\treturn bram.Run(![Parameter1], event)\nend";
    definitions.triggerDisabledAtBeginning = "bram.Disable(![Parameter1])";
    definitions.localsIndex = 1;
    settings.SetTriggerDefinitions(definitions);
    std::vector<const CBlockInfo*> blocks;
    for (const char* name : {"Events", "Conditions", "Actions"}) {
        for (const CBlockInfo* block : core->GetBlocks()) {
            if (block->GetName() == name) {
                blocks.push_back(block);
            }
        }
    }
    settings.SetFunctionBlocks(blocks);
    settings.SetLocalDeclaration("local ![Parameter1]");
    settings.SetGlobalDeclaration("![Parameter1]");
    settings.SetVariablePrefix("v_");
    for (const CTypeInfo* type : core->GetTypes()) {
        if (type->GetName() == "Comment") {
            settings.SetCommentType(type);
        } else if (type->GetName() == "ScriptText") {
            settings.SetScriptType(type);
        }
    }
}

} // namespace bram::fuzz
