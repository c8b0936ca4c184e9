#include "generation/GenerationSettings.h"

#include "base/Exceptions.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "localization/Localization.h"
#include "log/Assertion.h"
#include "log/Log.h"
#include "progress/LoadingProgress.h"
#include "records/BlockInfo.h"
#include "records/Definitions.h"
#include "records/TypeInfo.h"
#include "settings/ApplicationBase.h"
#include "xml/XmlDocument.h"

namespace bram {

CGenerationSettings& CGenerationSettings::Instance()
{
    static CGenerationSettings settings;
    return settings;
}

void CGenerationSettings::SetTriggerDefinitions(const CTriggerDefinitions& definitions)
{
    if (m_hasTriggerDefinitions) {
        return;
    }
    m_triggerDefinitions = definitions;
    m_hasTriggerDefinitions = true;
}

void CGenerationSettings::SetCommentType(const CTypeInfo* type)
{
    BRAMBLETON_ASSERT(type != nullptr && type->GetRealType() == RealTypeString);
    m_commentType = type;
}

void CGenerationSettings::SetScriptType(const CTypeInfo* type)
{
    BRAMBLETON_ASSERT(type != nullptr && type->GetRealType() == RealTypeString);
    m_scriptType = type;
}

void CGenerationSettings::SetTrace(std::string statement, const CTypeInfo* type)
{
    m_traceStatement = std::move(statement);
    m_traceType = type;
}

void CGenerationSettings::Clear() { *this = CGenerationSettings(); }

void VerifyLoading(bool condition, const std::string& message)
{
    if (condition) {
        return;
    }
    LogWrite("Loading Verification failed.\n");
    LogPrintf("Error message: %s\n", message.c_str());
    throw CUserException();
}

namespace {

// Loads a definition file; one that cannot be read is logged with the
// path, one that does not parse also with the parser's line, code and reason.
void LoadOrFail(CXmlDocument& doc, const std::string& path, const char* openFailed, const char* errorInformation)
{
    CXmlParseError error;
    if (doc.LoadFile(path, &error)) {
        return;
    }
    LogPrintf(openFailed, path.c_str());
    if (error.code != static_cast<int>(pugi::status_file_not_found) &&
        error.code != static_cast<int>(pugi::status_io_error)) {
        LogPrintf(errorInformation, error.line, error.code, error.reason.c_str());
    }
    throw CUserException();
}

// The first text child of the root's first child element of that name.
std::string RequiredDefinition(const CXmlNode& root, const char* name)
{
    const CXmlNode element = root.Child(name);
    VerifyLoading(!element.IsNull(), StringPrintf("Element 'FunctionDefinition'->'%s' expected.", name));
    const auto text = element.FindText();
    VerifyLoading(text.has_value(), StringPrintf("Text in 'FunctionDefinition'->'%s' expected.", name));
    return *text;
}

// The first text child of the element at an absolute path.
std::string RequiredCreationText(const CXmlDocument& doc, const char* element, const char* textMessage)
{
    const CXmlNode node = doc.GetRoot().SelectSingleNode(StringPrintf("/ScriptCreation/%s", element));
    VerifyLoading(!node.IsNull(), StringPrintf("'ScriptCreation/%s' expected.", element));
    const auto text = node.FindText();
    VerifyLoading(text.has_value(), textMessage);
    return *text;
}

const CTypeInfo* FindTypeByName(const std::string& name)
{
    for (const CTypeInfo* type : GetAllTypes()) {
        if (type->GetName() == name) {
            return type;
        }
    }
    return nullptr;
}

} // namespace

void LoadFunctionDefinition(const std::string& dataFolder, CLoadingProgress& progress)
{
    CApplicationBase* app = GetApplication();
    const std::string fileName = app != nullptr ? app->GetSettingString("Data", "FunctionDefinition") : std::string();
    VerifyLoading(!fileName.empty(), "File name of type declaration file is empty.");

    const std::string path = dataFolder + ToDiskPath(fileName);
    CXmlDocument doc;
    LoadOrFail(doc, path, "Opening %s failed.\n", "Error information: %d:%d:%s.\n");
    const CXmlNode root = doc.GetDocumentElement();
    VerifyLoading(!root.IsNull(), "Start node needed");
    progress.SelectTask(path);
    progress.SetDetailText(GetLocalizedString("Loading/LoadFunctionDefinition"));
    VerifyLoading(root.GetName() == "FunctionDefinition", "root element 'FunctionDefinition' expected");

    CTriggerDefinitions definitions;
    std::string* const texts[] = {&definitions.triggerPrefix, &definitions.functionPrefix,
                                  &definitions.triggerDefinition, &definitions.functionDefinition,
                                  &definitions.triggerDisabledAtBeginning};
    const char* const names[] = {"TriggerPrefix", "FunctionPrefix", "TriggerDefinition", "FunctionDefinition",
                                 "TriggerDisabledAtBeginning"};
    for (int i = 0; i < 5; ++i) {
        *texts[i] = RequiredDefinition(root, names[i]);
        progress.SetTaskProgress(0.1 * (i + 1));
    }

    const std::string index = RequiredDefinition(root, "AddLocalsBeforeIndex");
    definitions.localsIndex = static_cast<int>(ParseLeadingInteger(index) - 1);
    VerifyLoading(definitions.localsIndex >= 0, "Invalid local index in 'FunctionDefinition'->'AddLocalsBeforeIndex'");
    progress.SetTaskProgress(0.6);

    const CXmlNode blocksNode = root.Child("FunctionBlocks");
    VerifyLoading(!blocksNode.IsNull(), "Element 'FunctionDefinition'->'FunctionBlocks' expected.");
    const std::vector<CXmlNode> blockNodes = blocksNode.Children("Block");
    std::vector<const CBlockInfo*> blocks;
    const std::size_t n = blockNodes.size();
    for (std::size_t i = 0; i < n; ++i) {
        progress.SetTaskProgress(0.6 + 0.4 * static_cast<double>(i) / static_cast<double>(n));
        const auto name = blockNodes[i].FindText();
        VerifyLoading(name.has_value(), "Text in 'FunctionDefinition'->'FunctionBlocks'->'Block' expected.");
        const CBlockInfo* found = nullptr;
        for (const CBlockInfo* block : GetAllBlocks()) {
            if (block->GetName() == *name) {
                found = block;
                break;
            }
        }
        VerifyLoading(found != nullptr, "Invalid block name in 'FunctionDefinition'->'FunctionBlocks'->'Block.");
        blocks.push_back(found);
    }
    VerifyLoading(!blocks.empty(), "A function block is needed.");

    // Optional: how a run with trace reports what ran, and in the blocks of which type.
    std::string traceStatement;
    const CTypeInfo* traceType = nullptr;
    if (const CXmlNode trace = root.Child("TraceStatement"); !trace.IsNull()) {
        traceStatement = trace.FindText().value_or(std::string());
        VerifyLoading(!traceStatement.empty(), "Text in 'FunctionDefinition'->'TraceStatement' expected.");
        traceType = FindTypeByName(RequiredDefinition(root, "TraceType"));
        VerifyLoading(traceType != nullptr, "Invalid type name in 'FunctionDefinition'->'TraceType'.");
    }

    CGenerationSettings& settings = CGenerationSettings::Instance();
    settings.SetTriggerDefinitions(definitions);
    settings.SetFunctionBlocks(std::move(blocks));
    settings.SetTrace(std::move(traceStatement), traceType);
    progress.FinishTask();
}

void LoadScriptCreation(const std::string& programFolder, CLoadingProgress& progress)
{
    CApplicationBase* app = GetApplication();
    const std::string setting = app != nullptr ? app->GetSettingString("ScriptCreation", "Definitions") : std::string();
    if (setting.empty()) {
        LogWrite("No Script Creations/Definitions file defined.\n");
        throw CUserException();
    }
    const std::string path = ResolveFrom(programFolder, setting);
    CXmlDocument doc;
    LoadOrFail(doc, path, "Failed to open file %s.\n", "Error information:%d:%d:%s\n");
    progress.SelectTask(path);
    progress.SetDetailText(GetLocalizedString("Loading/LoadScriptCreation"));
    CGenerationSettings& settings = CGenerationSettings::Instance();

    const CTypeInfo* commentType =
        FindTypeByName(RequiredCreationText(doc, "CommentUseType", "Text or CDATA expected."));
    VerifyLoading(commentType != nullptr, "Invalid type name.");
    settings.SetCommentType(commentType);

    const CTypeInfo* scriptType =
        FindTypeByName(RequiredCreationText(doc, "GenScriptUseType", "Text or DATA expected."));
    VerifyLoading(scriptType != nullptr, "Invalid type name.");
    settings.SetScriptType(scriptType);

    const std::string placeholder = FormatParameterPlaceholder(0);
    std::string global = RequiredCreationText(doc, "GlobalDeclaration", "Text or CDATA expected.");
    VerifyLoading(global.find(placeholder) != std::string::npos, placeholder + "in global declaration expected.");
    settings.SetGlobalDeclaration(std::move(global));

    std::string local = RequiredCreationText(doc, "LocalDeclaration", "Text or CDATA expected.");
    VerifyLoading(local.find(placeholder) != std::string::npos, placeholder + "in local declaration expected.");
    settings.SetLocalDeclaration(std::move(local));

    settings.SetVariablePrefix(RequiredCreationText(doc, "VariablePrefix", "Text or CDATA expected."));
    progress.FinishTask();
}

} // namespace bram
