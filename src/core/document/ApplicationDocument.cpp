#include "document/ApplicationDocument.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "code/State.h"
#include "localization/Localization.h"
#include "log/Assertion.h"
#include "log/Log.h"
#include "modules/Module.h"
#include "settings/ApplicationBase.h"
#include "settings/Environment.h"

#include <algorithm>

namespace bram {

namespace {

std::string SettingString(std::string_view section, std::string_view key, std::string_view def = {})
{
    CApplicationBase* app = GetApplication();
    return app != nullptr ? app->GetSettingString(section, key, def) : std::string(def);
}

unsigned SettingInt(std::string_view section, std::string_view key, unsigned def)
{
    CApplicationBase* app = GetApplication();
    return app != nullptr ? app->GetSettingInt(section, key, def) : def;
}

bool IsAscii(unsigned char c) { return c < 0x80; }

} // namespace

// ---- encodings -----------------------------------------------------------------

EScriptEncoding ScriptEncodingFromName(std::string_view name)
{
    if (name == "OEM") {
        return EScriptEncoding::Oem;
    }
    if (name == "UTF-8") {
        return EScriptEncoding::Utf8;
    }
    if (name == "Unicode") {
        return EScriptEncoding::Unicode;
    }
    return EScriptEncoding::Ansi;
}

std::string_view ByteOrderMark(EScriptEncoding encoding)
{
    switch (encoding) {
    case EScriptEncoding::Utf8: return "\xEF\xBB\xBF";
    case EScriptEncoding::Unicode: return std::string_view("\xFF\xFE", 2);
    default: return {};
    }
}

std::string EncodeScriptText(std::string_view text, EScriptEncoding encoding)
{
    switch (encoding) {
    case EScriptEncoding::Utf8: return std::string(text);
    case EScriptEncoding::Unicode: return Utf8ToUtf16LEBytes(text);
    default: break;
    }
    const char* codePage = encoding == EScriptEncoding::Oem ? "CP437" : "WINDOWS-1252";
    // Both code pages hold ASCII as it is; only the other characters go
    // through the converter, which works one character at a time.
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && IsAscii(static_cast<unsigned char>(text[end]))) {
            ++end;
        }
        out.append(text, pos, end - pos);
        pos = end;
        while (end < text.size() && !IsAscii(static_cast<unsigned char>(text[end]))) {
            ++end;
        }
        if (end > pos) {
            out += Utf8ToCodePage(text.substr(pos, end - pos), codePage);
            pos = end;
        }
    }
    return out;
}

// ---- life ------------------------------------------------------------------------

CApplicationDocument::CApplicationDocument()
{
    m_encodingName = SettingString("FileExtensions", "GenScriptEncoding");
    m_encoding = ScriptEncodingFromName(m_encodingName);
    m_useBom = SettingInt("FileExtensions", "GenScriptUseBOM", 1) != 0;
    m_startLevel = static_cast<int>(SettingInt("ScriptCreation", "StartLevel", 0));
    const std::string standard = SettingString("Data", "StandardNewDocument");
    if (!standard.empty()) {
        const std::string folder = SettingString("Data", "Path");
        m_standardNewDocument = ToDiskPath(
            ExpandEnvironmentStrings((folder.empty() ? std::string() : WithTrailingSeparator(folder)) + standard));
        if (GetApplication() != nullptr) {
            if (auto* ini = dynamic_cast<CIniSettings*>(GetApplication());
                ini != nullptr && !ini->GetIniPath().empty()) {
                // Relative settings paths are taken from the program folder.
                m_standardNewDocument = ResolveFrom(TextBeforeLastSeparator(ini->GetIniPath()), m_standardNewDocument);
            }
        }
    }
    m_title = GetLocalizedString("MainFrame/Untitled");
}

CApplicationDocument::~CApplicationDocument()
{
    DeleteContents();
    m_listeners.clear();
}

void CApplicationDocument::SetPath(const std::string& path)
{
    m_pathName = path;
    m_title = path.empty() ? GetLocalizedString("MainFrame/Untitled") : FileNamePart(path);
}

void CApplicationDocument::DeleteContents()
{
    ClearHistory();
    if (m_categories.GetCategoryCount() > 0) {
        m_categories.Clear();
    }
}

void CApplicationDocument::NewDocument()
{
    m_dataFileExt = SettingString("FileExtensions", "DataFileExt");
    m_dataFileExtName = GetLocalizedString(SettingString("FileExtensions", "DataFileExtName"));
    m_scriptFileExt = SettingString("FileExtensions", "GenScriptFileExt");
    m_scriptFileExtName = GetLocalizedString(SettingString("FileExtensions", "GenScriptFileExtName"));
    DeleteContents();
    SetPath({});
    m_state = new CState();
    if (!m_standardNewDocument.empty()) {
        if (const auto data = ReadWholeFile(m_standardNewDocument)) {
            try {
                ReadDataFileFromMemory(*data, m_standardNewDocument);
            } catch (const CException&) {
                // Logged by the reader; the document keeps what was read.
            }
        } else {
            delete m_state;
            m_state = new CState();
            m_categories.Clear();
        }
    }
    m_savedPoint = 0;
    m_modified = false;
}

bool CApplicationDocument::OpenDocument(const std::string& path, std::string* error)
{
    DeleteContents();
    m_state = new CState();
    try {
        ReadDataFile(path);
    } catch (const CException& e) {
        LogWrite("Loading failed.\n");
        if (error != nullptr) {
            *error = e.GetErrorMessage();
        }
        delete m_state;
        m_state = new CState();
        // Categories read before the failure would name triggers that are gone.
        m_categories.Clear();
        SetPath({});
        m_savedPoint = 0;
        m_modified = false;
        return false;
    }
    SetPath(path);
    m_savedPoint = static_cast<int>(m_undo.size());
    m_modified = false;
    return true;
}

bool CApplicationDocument::SaveDocument(const std::string& path, std::string* error)
{
    std::string reason;
    try {
        const std::string data = WriteDataFile();
        reason = WriteFileAtomically(path, data);
        if (!reason.empty()) {
            LogPrintf("%s\n", reason.c_str());
        }
    } catch (const CException& e) {
        reason = e.GetErrorMessage();
    }
    if (!reason.empty()) {
        LogWrite("Saving failed.\n");
        if (error != nullptr) {
            *error = reason;
        }
        return false;
    }
    SetPath(path);
    m_savedPoint = static_cast<int>(m_undo.size());
    m_modified = false;
    return true;
}

// ---- script generation --------------------------------------------------------------

std::string CApplicationDocument::GenerateScriptData() const
{
    std::string out;
    if (m_useBom) {
        out += ByteOrderMark(m_encoding);
    }
    for (unsigned i = 0; i < GetModuleCount(); ++i) {
        const CModule* module = GetModule(i);
        for (unsigned j = 0; j < module->GetScriptCount(); ++j) {
            out += module->GetScriptData(j);
        }
    }
    if (m_state != nullptr) {
        out += EncodeScriptText(m_state->GetCode(m_startLevel), m_encoding);
    } else {
        CState empty;
        out += EncodeScriptText(empty.GetCode(m_startLevel), m_encoding);
    }
    return out;
}

bool CApplicationDocument::GenerateScript(const std::string& path, std::string* error) const
{
    std::string reason;
    try {
        reason = WriteFileAtomically(path, GenerateScriptData());
    } catch (const CException& e) {
        reason = e.GetErrorMessage();
        if (reason.empty()) {
            reason = "Unknown error.";
        }
    }
    if (reason.empty()) {
        return true;
    }
    if (reason.size() > 255) {
        reason.resize(255);
    }
    LogPrintf("Error while saving script. Error message: %s\n", reason.c_str());
    if (error != nullptr) {
        *error = reason;
    }
    return false;
}

// ---- undo history --------------------------------------------------------------------

void CApplicationDocument::PushStep(const std::string& name, HistoryAction undo, HistoryAction redo, void* parameter,
                                    bool owns, CCodeHistoryObject::ParamKind kind)
{
    if (m_state == nullptr) {
        m_state = new CState();
    }
    CState* copy = m_state->Clone().release();
    for (CCodeHistoryObject& step : m_redo) {
        delete step.GetStateAfter();
    }
    m_redo.clear();
    // Only a saved point beyond the current depth lies on the redo branch
    // being dropped; at the current depth it stays one undo away.
    if (static_cast<int>(m_undo.size()) < m_savedPoint) {
        m_savedPoint = -1;
    }
    m_modified = true;
    m_undo.emplace_back(name, m_state, copy, std::move(undo), std::move(redo), parameter, owns, kind);
    m_state = copy;
}

void CApplicationDocument::AddHistoryStep(const std::string& name)
{
    PushStep(name, {}, {}, nullptr, false, CCodeHistoryObject::ParamKind::None);
}

void CApplicationDocument::AddHistoryStep(const std::string& name, HistoryAction undo, HistoryAction redo,
                                          void* parameter, bool ownsParameter)
{
    PushStep(name, std::move(undo), std::move(redo), parameter, ownsParameter, CCodeHistoryObject::ParamKind::Plain);
}

void CApplicationDocument::AddHistoryStep(const std::string& name, HistoryAction undo, HistoryAction redo,
                                          CHistoryParam* parameter, bool ownsParameter)
{
    PushStep(name, std::move(undo), std::move(redo), parameter, ownsParameter, CCodeHistoryObject::ParamKind::History);
}

void CApplicationDocument::Undo()
{
    BRAMBLETON_ASSERT(CanUndo());
    if (!CanUndo()) {
        return;
    }
    CCodeHistoryObject& step = m_undo.back();
    BRAMBLETON_ASSERT(step.GetStateAfter() == m_state);
    m_state = step.GetStateBefore();
    step.Undo();
    m_redo.push_back(std::move(step));
    m_undo.pop_back();
    UpdateModifiedFromHistory();
}

void CApplicationDocument::Redo()
{
    BRAMBLETON_ASSERT(CanRedo());
    if (!CanRedo()) {
        return;
    }
    CCodeHistoryObject& step = m_redo.back();
    BRAMBLETON_ASSERT(step.GetStateBefore() == m_state);
    m_state = step.GetStateAfter();
    step.Redo();
    m_undo.push_back(std::move(step));
    m_redo.pop_back();
    UpdateModifiedFromHistory();
}

void CApplicationDocument::OnEditUndo()
{
    if (CanUndo()) {
        Undo();
        UpdateAllViews();
    }
}

void CApplicationDocument::OnEditRedo()
{
    if (CanRedo()) {
        Redo();
        UpdateAllViews();
    }
}

void CApplicationDocument::RemoveLastHistoryStep()
{
    if (!m_redo.empty()) {
        return;
    }
    BRAMBLETON_ASSERT(!m_undo.empty());
    if (m_undo.empty()) {
        return;
    }
    CCodeHistoryObject& step = m_undo.back();
    BRAMBLETON_ASSERT(step.GetStateAfter() == m_state);
    BRAMBLETON_ASSERT(step.GetStateBefore() != nullptr);
    if (step.GetStateBefore() == nullptr) {
        return;
    }
    delete m_state;
    m_state = step.GetStateBefore();
    m_undo.pop_back();
    UpdateModifiedFromHistory();
}

void CApplicationDocument::RenameLastHistoryStep(const std::string& name)
{
    if (!m_redo.empty()) {
        return;
    }
    BRAMBLETON_ASSERT(!m_undo.empty());
    if (m_undo.empty()) {
        return;
    }
    BRAMBLETON_ASSERT(m_undo.back().GetStateAfter() == m_state);
    m_undo.back().SetName(name);
}

std::string CApplicationDocument::GetUndoName() const
{
    return m_undo.empty() ? std::string() : m_undo.back().GetName();
}

std::string CApplicationDocument::GetRedoName() const
{
    return m_redo.empty() ? std::string() : m_redo.back().GetName();
}

void CApplicationDocument::ClearHistory()
{
    // Steps go newest first: an action parameter may refer to what an older one holds.
    while (!m_undo.empty()) {
        delete m_undo.back().GetStateBefore();
        m_undo.pop_back();
    }
    while (!m_redo.empty()) {
        delete m_redo.back().GetStateAfter();
        m_redo.pop_back();
    }
    delete m_state;
    m_state = nullptr;
}

// ---- views -------------------------------------------------------------------------

int CApplicationDocument::AddUpdateListener(UpdateListener listener)
{
    const int id = m_nextListenerId++;
    m_listeners.emplace_back(id, std::move(listener));
    return id;
}

void CApplicationDocument::RemoveUpdateListener(int id)
{
    std::erase_if(m_listeners, [id](const auto& entry) { return entry.first == id; });
}

void CApplicationDocument::UpdateAllViews() const
{
    // A copy: a listener may add or remove listeners.
    const auto listeners = m_listeners;
    for (const auto& [id, listener] : listeners) {
        if (listener) {
            listener();
        }
    }
}

} // namespace bram
