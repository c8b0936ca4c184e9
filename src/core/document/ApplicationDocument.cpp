#include "document/ApplicationDocument.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "code/ScriptLineMap.h"
#include "code/State.h"
#include "document/Clipboard.h"
#include "generation/GenerationSettings.h"
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
    // A long session on a big document must not end out of memory.
    m_history.SetMemoryBudget(std::size_t{SettingInt("User", "UndoMemoryMiB", 1024)} << 20);
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
    m_pathConfirmed = true;
    m_title = path.empty() ? GetLocalizedString("MainFrame/Untitled") : FileNamePart(path);
}

void CApplicationDocument::SetCutMove(std::unique_ptr<SCutMove> move) { m_cutMove = std::move(move); }

void CApplicationDocument::DeleteContents()
{
    NoteChange({EChangeKind::Document});
    // Ids and paths of the old contents would name things in the new.
    m_cutMove.reset();
    ClearHistory();
    if (m_categories.GetCategoryCount() > 0) {
        m_categories.Clear();
    }
}

void CApplicationDocument::NewDocument()
{
    // What the operation logged is on disk when it returns.
    const CLogFlushAtEnd flush;
    m_dataFileExt = SettingString("FileExtensions", "DataFileExt");
    m_dataFileExtName = GetLocalizedString(SettingString("FileExtensions", "DataFileExtName"));
    m_scriptFileExt = SettingString("FileExtensions", "GenScriptFileExt");
    m_scriptFileExtName = GetLocalizedString(SettingString("FileExtensions", "GenScriptFileExtName"));
    DeleteContents();
    SetPath({});
    ResetState();
    if (!m_standardNewDocument.empty()) {
        if (const auto data = ReadWholeFile(m_standardNewDocument)) {
            try {
                ReadDataFileFromMemory(*data, m_standardNewDocument);
            } catch (const CException&) {
                // Logged by the reader; the document keeps what was read.
            }
        } else {
            ResetState();
            m_categories.Clear();
        }
    }
    MarkSaved();
}

bool CApplicationDocument::OpenDocument(const std::string& path, std::string* error)
{
    return Open([this, &path] { ReadDataFile(path); }, path, error);
}

bool CApplicationDocument::OpenDocumentData(std::string_view data, const std::string& path, std::string* error)
{
    return Open([this, data, &path] { ReadDataFileFromMemory(data, path); }, path, error);
}

bool CApplicationDocument::Open(const std::function<void()>& read, const std::string& path, std::string* error)
{
    // What the operation logged is on disk when it returns.
    const CLogFlushAtEnd flush;
    DeleteContents();
    ResetState();
    try {
        read();
    } catch (const CException& e) {
        LogWrite("Loading failed.\n");
        if (error != nullptr) {
            *error = e.GetErrorMessage();
        }
        ResetState();
        // Categories read before the failure would name triggers that are gone.
        m_categories.Clear();
        SetPath({});
        MarkSaved();
        return false;
    }
    SetPath(path);
    MarkSaved();
    return true;
}

bool CApplicationDocument::SaveDocument(const std::string& path, std::string* error)
{
    // What the operation logged is on disk when it returns.
    const CLogFlushAtEnd flush;
    std::string reason;
    try {
        reason = WriteFileAtomically(path, [this](const FileWriter& write) { WriteDataFile(write); });
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
    MarkSaved();
    return true;
}

// ---- script generation --------------------------------------------------------------

namespace {

std::size_t LineBreaks(std::string_view bytes, EScriptEncoding encoding)
{
    if (encoding != EScriptEncoding::Unicode) {
        return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    }
    std::size_t count = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        count += bytes[i] == '\n' && bytes[i + 1] == '\0' ? 1 : 0;
    }
    return count;
}

} // namespace

std::string CApplicationDocument::GenerateScriptData(CScriptLineMap* lines, std::size_t* lineOffset, bool trace) const
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
    if (lineOffset != nullptr) {
        *lineOffset = LineBreaks(out, m_encoding);
    }
    const CGenerationSettings& settings = CGenerationSettings::Instance();
    const bool traced = trace && settings.HasTrace();
    CCodeWriter writer(lines, traced ? &settings.GetTraceStatement() : nullptr, settings.GetTraceType());
    CCodeWriter* const recording = lines != nullptr || traced ? &writer : nullptr;
    CState empty;
    const CState* state = GetState() != nullptr ? GetState() : &empty;
    if (m_encoding == EScriptEncoding::Utf8) {
        // UTF-8 goes out as it is: written straight after the module scripts.
        state->AppendCode(out, m_startLevel, recording);
    } else {
        out += EncodeScriptText(state->GetCode(m_startLevel, recording), m_encoding);
    }
    return out;
}

bool CApplicationDocument::GenerateScript(const std::string& path, std::string* error) const
{
    // What the operation logged is on disk when it returns.
    const CLogFlushAtEnd flush;
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

void CApplicationDocument::ResetState()
{
    m_history.SetState(std::make_unique<CState>());
    NoteChange({EChangeKind::Document});
}

void CApplicationDocument::SetRecoveredPath(const std::string& path, bool confirmed)
{
    SetPath(path);
    m_pathConfirmed = confirmed || path.empty();
    m_history.MarkUnsaved();
    m_modified = true;
}

void CApplicationDocument::MarkSaved()
{
    m_history.MarkSaved();
    m_modified = false;
}

void CApplicationDocument::AddHistoryStep(const std::string& name) { AddHistoryStep(name, nullptr); }

void CApplicationDocument::AddHistoryStep(const std::string& name, std::unique_ptr<CHistoryParam> param)
{
    if (m_history.GetState() == nullptr) {
        ResetState();
    }
    m_history.Record(name, std::move(param));
    // Every node and variable is another object now.
    NoteChange({EChangeKind::Document});
    m_modified = true;
}

void CApplicationDocument::AddHistoryStep(const std::string& name, const SStepScope& scope,
                                          std::unique_ptr<CHistoryParam> param)
{
    if (m_history.GetState() == nullptr) {
        ResetState();
    }
    m_history.RecordScoped(name, scope, std::move(param));
    // The triggers kept go on with copies of their nodes (those a deletion
    // empties parameters of too, which the step found).
    for (const std::uint32_t id : m_history.GetUndoTouch().triggers) {
        NoteChange({EChangeKind::Instructions, nullptr, id});
    }
    if (scope.globals) {
        NoteChange({EChangeKind::Variables});
    }
    m_modified = true;
}

void CApplicationDocument::NoteTouch(const SStepTouch& touch)
{
    if (touch.whole) {
        NoteChange({EChangeKind::Document});
        return;
    }
    for (const std::uint32_t id : touch.triggers) {
        NoteChange({EChangeKind::TriggerFlags, nullptr, id});
        NoteChange({EChangeKind::Text, nullptr, id});
        NoteChange({EChangeKind::Instructions, nullptr, id});
    }
    if (touch.texts) {
        NoteChange({EChangeKind::Text});
    }
    if (touch.appends || touch.globals) {
        NoteChange({EChangeKind::Variables});
    }
    if (touch.categoryList) {
        NoteChange({EChangeKind::Categories});
    }
    for (const CCategory* category : touch.categories) {
        NoteChange({EChangeKind::Entries, category});
    }
    for (const auto& [category, entry] : touch.entries) {
        NoteChange({EChangeKind::Entries, category, 0, entry});
    }
    // The step puts back the current trigger of its other side.
    NoteChange({EChangeKind::Selection});
}

void CApplicationDocument::Undo()
{
    const SStepTouch touch = m_history.GetUndoTouch();
    m_history.Undo();
    NoteTouch(touch);
    UpdateModifiedFromHistory();
}

void CApplicationDocument::Redo()
{
    const SStepTouch touch = m_history.GetRedoTouch();
    m_history.Redo();
    NoteTouch(touch);
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
    if (CanRedo()) {
        return;
    }
    const SStepTouch touch = m_history.GetUndoTouch();
    m_history.RemoveLast();
    NoteTouch(touch);
    UpdateModifiedFromHistory();
}

void CApplicationDocument::RenameLastHistoryStep(const std::string& name) { m_history.RenameLast(name); }

// ---- views -------------------------------------------------------------------------

int CApplicationDocument::AddUpdateListener(const void* owner, UpdateListener listener)
{
    const int id = m_nextListenerId++;
    m_listeners.push_back({id, owner, std::move(listener), nullptr});
    return id;
}

void CApplicationDocument::RemoveUpdateListener(int id)
{
    std::erase_if(m_listeners, [id](const Listener& entry) { return entry.id == id; });
}

int CApplicationDocument::AddChangeListener(const void* owner, ChangeListener listener)
{
    const int id = m_nextListenerId++;
    m_listeners.push_back({id, owner, nullptr, std::move(listener)});
    return id;
}

void CApplicationDocument::UpdateAllViews(const void* sender)
{
    CChangeReport report;
    std::swap(report, m_pending);
    if (report.IsEmpty()) {
        report.Add({EChangeKind::Document});
    }
    // A copy: a listener may add or remove listeners.
    const auto listeners = m_listeners;
    for (const Listener& listener : listeners) {
        if (sender != nullptr && listener.owner == sender) {
            continue;
        }
        if (listener.changeCallback) {
            listener.changeCallback(report);
        } else if (listener.callback) {
            listener.callback();
        }
    }
}

} // namespace bram
