#pragma once
// The generation settings: what the function definition file and the script
// creation definitions file say about the shape of generated scripts. They
// are read once at start-up, after the modules, and live in one
// process-wide object until shut-down, where the code model reads them:
//
// - the trigger class (CCodeTrigger): trigger and function prefixes, the
//   trigger and function definition patterns, the disabled-at-beginning
//   pattern, the locals index, the function blocks and the local
//   declaration pattern;
// - the program state (CState): the comment type, the generated-script type
//   and the global declaration pattern;
// - the user-defined variable class (CUserDefinedVariable): the variable prefix.
//
// Types and blocks point into the loaded modules, so the values are cleared
// whenever the modules are released.

#include <string>
#include <vector>

namespace bram {

class CBlockInfo;
class CLoadingProgress;
class CTypeInfo;

struct CTriggerDefinitions {
    std::string triggerPrefix;
    std::string functionPrefix;
    std::string triggerDefinition;
    std::string functionDefinition;
    std::string triggerDisabledAtBeginning;
    // 0-based index of the function block before which locals are declared.
    int localsIndex = 0;
};

class CGenerationSettings {
public:
    static CGenerationSettings& Instance();

    // Taken only by the first call after a Clear; later calls change nothing.
    void SetTriggerDefinitions(const CTriggerDefinitions& definitions);
    bool HasTriggerDefinitions() const { return m_hasTriggerDefinitions; }
    const CTriggerDefinitions& GetTriggerDefinitions() const { return m_triggerDefinitions; }

    void SetFunctionBlocks(std::vector<const CBlockInfo*> blocks) { m_functionBlocks = std::move(blocks); }
    const std::vector<const CBlockInfo*>& GetFunctionBlocks() const { return m_functionBlocks; }
    void SetLocalDeclaration(std::string pattern) { m_localDeclaration = std::move(pattern); }
    const std::string& GetLocalDeclaration() const { return m_localDeclaration; }

    // Both must be text types (an internal check).
    void SetCommentType(const CTypeInfo* type);
    const CTypeInfo* GetCommentType() const { return m_commentType; }
    void SetScriptType(const CTypeInfo* type);
    const CTypeInfo* GetScriptType() const { return m_scriptType; }
    void SetGlobalDeclaration(std::string pattern) { m_globalDeclaration = std::move(pattern); }
    const std::string& GetGlobalDeclaration() const { return m_globalDeclaration; }

    void SetVariablePrefix(std::string prefix) { m_variablePrefix = std::move(prefix); }
    const std::string& GetVariablePrefix() const { return m_variablePrefix; }

    // Written only into scripts run with trace: before each instruction of
    // the blocks of the trace type and at each trigger's entry, with the
    // trigger's script name and the instruction's place filled in.
    void SetTrace(std::string statement, const CTypeInfo* type);
    bool HasTrace() const { return m_traceType != nullptr && !m_traceStatement.empty(); }
    const std::string& GetTraceStatement() const { return m_traceStatement; }
    const CTypeInfo* GetTraceType() const { return m_traceType; }

    void Clear();

private:
    CGenerationSettings() = default;

    bool m_hasTriggerDefinitions = false;
    CTriggerDefinitions m_triggerDefinitions;
    std::vector<const CBlockInfo*> m_functionBlocks;
    std::string m_localDeclaration;
    const CTypeInfo* m_commentType = nullptr;
    const CTypeInfo* m_scriptType = nullptr;
    std::string m_globalDeclaration;
    std::string m_variablePrefix;
    std::string m_traceStatement;
    const CTypeInfo* m_traceType = nullptr;
};

// Logs "Loading Verification failed." and the message, then raises the
// silent CUserException, when the condition is false.
void VerifyLoading(bool condition, const std::string& message);

// Reads and checks the function definition file (data folder + the
// Data/FunctionDefinition setting) and hands its values over. Needs the
// modules loaded. A failure is logged and raised as CUserException.
void LoadFunctionDefinition(const std::string& dataFolder, CLoadingProgress& progress);
// Reads and checks the script creation definitions file (the
// ScriptCreation/Definitions setting; a relative path is taken from the
// program folder) and hands its values over.
void LoadScriptCreation(const std::string& programFolder, CLoadingProgress& progress);

} // namespace bram
