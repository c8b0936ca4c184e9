#pragma once
// The document: one trigger state, one category system and one undo history
// per new or opened data file; reading and writing the data file, and
// generating the script. No widgets: the editor puts its windows on top.
//
// How the editor uses it:
// - Create one CApplicationDocument after start-up (it reads its settings
//   from the current application) and call NewDocument() once.
// - File menu: NewDocument(), OpenDocument(path), SaveDocument(path) (also
//   for "save as"). Each returns false after a failure, which is already
//   logged ("Loading failed.\n" / "Saving failed.\n"); the editor then shows
//   the localized "MainFrame/LoadingFailed" or "MainFrame/SavingFailed" box.
//   A failed open leaves a new empty state; a failed save leaves the file on
//   disk as it was. IsModified(), GetPathName() and GetTitle() drive the
//   window title and the "save changes?" question.
// - Views read GetState() and GetCategorySystem() directly and change them
//   through the edits of DocumentEdits.h, each of which records its step:
//   AddHistoryStep(key, scope) keeps only what the scope names and leaves
//   the state, its triggers and variables in place (a kept trigger goes on
//   with copies of its nodes); AddHistoryStep(key) makes a fresh copy of
//   the whole state the current one, which the edit then changes.
// - Views register AddUpdateListener(view, callback); UpdateAllViews(view)
//   calls every listener but the view's own, UpdateAllViews() every one.
//   A view that updates only what changed registers AddChangeListener
//   instead and gets the report of what the edits noted (DocumentChange.h).
//   OnEditUndo()/OnEditRedo() undo or redo and then update all views;
//   GetUndoName()/GetRedoName() give the name of the step for the Edit menu
//   texts, which LocalizedStepName (history/StepName.h) turns into its text.
// - Generate script: GenerateScript(path); false after a failure, logged as
//   "Error while saving script. Error message: ...".
//
// Everything runs on one thread.

#include "base/Exceptions.h"
#include "category/CategorySystem.h"
#include "document/DocumentChange.h"
#include "history/History.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace bram {

class CState;
struct SCutMove;
class CCodeTrigger;
class CParameter;
class CCodeBase;
class CXmlNode;
class CScriptLineMap;

// The document failure: reading or writing the data file stopped. The
// message (also in the log) tells why.
class CDocumentException : public CException {
public:
    explicit CDocumentException(std::string message) : CException(std::move(message)) {}
};

// The output encodings of generated scripts.
enum class EScriptEncoding { Ansi, Oem, Utf8, Unicode };
// "Ansi", "OEM", "UTF-8", "Unicode", compared exactly; anything else is Ansi.
EScriptEncoding ScriptEncodingFromName(std::string_view name);
// The byte order mark of the encoding (empty for Ansi and OEM).
std::string_view ByteOrderMark(EScriptEncoding encoding);
// The text (UTF-8) in the encoding; characters the code page cannot hold become "?".
std::string EncodeScriptText(std::string_view text, EScriptEncoding encoding);

class CApplicationDocument {
public:
    // Reads the settings of the current application (encoding, byte order
    // mark, start level, standard new document); defaults without one.
    CApplicationDocument();
    ~CApplicationDocument();
    CApplicationDocument(const CApplicationDocument&) = delete;
    CApplicationDocument& operator=(const CApplicationDocument&) = delete;

    // ---- life of the document -------------------------------------------
    // Empties the document and starts a new one (from the standard new
    // document when one is set).
    void NewDocument();
    // Empties the document and reads the file. On failure: "Loading failed.\n"
    // in the log, a new empty state, false (and the reason in *error).
    bool OpenDocument(const std::string& path, std::string* error = nullptr);
    // The same with the file's bytes already read; path names the file.
    bool OpenDocumentData(std::string_view data, const std::string& path, std::string* error = nullptr);
    // Writes the data file atomically. On failure: "Saving failed.\n" in the
    // log, the old file untouched, false (and the reason in *error).
    bool SaveDocument(const std::string& path, std::string* error = nullptr);
    // Destroys history and state and clears the category system.
    void DeleteContents();

    const std::string& GetPathName() const { return m_pathName; }
    // The file name, or the localized "MainFrame/Untitled".
    const std::string& GetTitle() const { return m_title; }
    bool IsModified() const { return m_modified; }
    void SetModifiedFlag(bool modified = true) { m_modified = modified; }
    // After opening a recovery file: the document stands for the file at
    // path again (empty: untitled) and differs from it, whatever is undone.
    // Unless confirmed (the user opened that file), the path came from the
    // recovery file alone, and the first save asks where to save.
    void SetRecoveredPath(const std::string& path, bool confirmed = true);
    // False while the path waits for that first "save as".
    bool IsPathConfirmed() const { return m_pathConfirmed; }

    // ---- the data file ----------------------------------------------------
    // Fill the (empty) document from a data file; throw CDocumentException
    // after logging the reason. pathForLog names the source in the log.
    void ReadDataFile(const std::string& path);
    void ReadDataFileFromMemory(std::string_view data, const std::string& pathForLog);
    // The whole data file as bytes.
    std::string WriteDataFile() const;
    // The same handed to `write` in pieces, so a file need not be held whole.
    void WriteDataFile(const std::function<void(std::string_view)>& write) const;

    // ---- script generation -----------------------------------------------
    // Byte order mark, module scripts unchanged, then the state's script in
    // the configured encoding. Throws CModuleException for a missing module script.
    std::string GenerateScriptData() const { return GenerateScriptData(nullptr, nullptr, false); }
    // The same recording where each line of the state's text came from, with
    // *lineOffset the lines in front of it (the module scripts); with trace,
    // the generation settings' trace statements are written too.
    std::string GenerateScriptData(CScriptLineMap* lines, std::size_t* lineOffset, bool trace) const;
    // Writes GenerateScriptData() atomically to the path; false after a
    // failure, which is logged (and its message put in *error).
    bool GenerateScript(const std::string& path, std::string* error = nullptr) const;

    // ---- model -------------------------------------------------------------
    CState* GetState() const { return m_history.GetState(); }
    CCategorySystem& GetCategorySystem() { return m_categories; }
    const CCategorySystem& GetCategorySystem() const { return m_categories; }

    // ---- undo history (CHistory; the document keeps its saved marker) ------
    // Records a step (a copy of the state becomes current; the caller then
    // changes it) and marks the document modified.
    void AddHistoryStep(const std::string& name);
    // With a parameter that undoes and redoes what the state does not hold.
    void AddHistoryStep(const std::string& name, std::unique_ptr<CHistoryParam> param);
    // The edit then changes no more of the state than the scope names.
    void AddHistoryStep(const std::string& name, const SStepScope& scope,
                        std::unique_ptr<CHistoryParam> param = nullptr);
    // The estimated bytes the undo history keeps, and how many it may keep
    // before the oldest steps go (the user setting User/UndoMemoryMiB).
    std::size_t GetHistoryMemory() const { return m_history.GetMemoryUsed(); }
    void SetHistoryBudget(std::size_t bytes) { m_history.SetMemoryBudget(bytes); }
    bool CanUndo() const { return m_history.CanUndo(); }
    bool CanRedo() const { return m_history.CanRedo(); }
    void Undo();
    void Redo();
    // The Edit menu commands: undo/redo when possible, then update all views.
    void OnEditUndo();
    void OnEditRedo();
    // Notes all that the last step keeps: for a dialog's step, whose change grows as the dialog goes.
    void NoteLastStep() { NoteTouch(m_history.GetUndoTouch()); }
    // Takes back the last step (nothing while a step can be redone).
    void RemoveLastHistoryStep();
    void RenameLastHistoryStep(const std::string& name);
    // The names of the top steps (a localization key, perhaps with a count), or empty texts.
    std::string GetUndoName() const { return m_history.GetUndoName(); }
    std::string GetRedoName() const { return m_history.GetRedoName(); }
    // Destroys every step with its snapshot and the current state.
    void ClearHistory() { m_history.Clear(); }
    std::size_t GetUndoCount() const { return m_history.GetUndoCount(); }
    std::size_t GetRedoCount() const { return m_history.GetRedoCount(); }
    // The undo depth at which the document equals its file; -1 when unreachable.
    int GetSavedHistoryPoint() const { return m_history.GetSavedPoint(); }
    const CHistory& GetHistory() const { return m_history; }

    // ---- clipboard (Clipboard.h) ----------------------------------------------
    // What the last cut of triggers keeps for a paste that moves them; null
    // when there is none. Emptied with the contents.
    const SCutMove* GetCutMove() const { return m_cutMove.get(); }
    void SetCutMove(std::unique_ptr<SCutMove> move);

    // ---- views ---------------------------------------------------------------
    using UpdateListener = std::function<void()>;
    // owner: the view the listener belongs to (any address that names it),
    // so that UpdateAllViews(owner) leaves it out. Returns an id for
    // RemoveUpdateListener.
    int AddUpdateListener(const void* owner, UpdateListener listener);
    int AddUpdateListener(UpdateListener listener) { return AddUpdateListener(nullptr, std::move(listener)); }
    void RemoveUpdateListener(int id);
    using ChangeListener = std::function<void(const CChangeReport&)>;
    int AddChangeListener(const void* owner, ChangeListener listener);
    // Every listener.
    void UpdateAllViews() { UpdateAllViews(nullptr); }
    // Every listener but those of the sending view (null: every listener),
    // with the changes noted since the last call (a Document change when
    // none were), which are then forgotten.
    void UpdateAllViews(const void* sender);
    // An edit notes what it changed, for the next UpdateAllViews.
    void NoteChange(SModelChange change) { m_pending.Add(change); }
    void NoteChanges(const CChangeReport& report) { m_pending.Add(report); }
    const CChangeReport& GetPendingChanges() const { return m_pending; }

    // ---- settings ------------------------------------------------------------
    EScriptEncoding GetScriptEncoding() const { return m_encoding; }
    const std::string& GetScriptEncodingName() const { return m_encodingName; }
    bool GetUseByteOrderMark() const { return m_useBom; }
    int GetStartLevel() const { return m_startLevel; }
    const std::string& GetStandardNewDocumentPath() const { return m_standardNewDocument; }
    // Read by NewDocument: the script file extension and its localized description.
    const std::string& GetScriptFileExtension() const { return m_scriptFileExt; }
    const std::string& GetScriptFileDescription() const { return m_scriptFileExtName; }
    const std::string& GetDataFileExtension() const { return m_dataFileExt; }
    const std::string& GetDataFileDescription() const { return m_dataFileExtName; }

private:
    friend class CDataFileReader;

    void SetPath(const std::string& path);
    bool Open(const std::function<void()>& read, const std::string& path, std::string* error);
    // A fresh empty state as the current one.
    void ResetState();
    // The document equals its file now.
    void MarkSaved();
    void UpdateModifiedFromHistory() { m_modified = !m_history.IsAtSavedPoint(); }
    // Notes what undoing or redoing a step touched.
    void NoteTouch(const SStepTouch& touch);

    // The history is destroyed first: its steps name categories and entries of the system.
    CCategorySystem m_categories;
    CHistory m_history;
    bool m_modified = false;
    std::unique_ptr<SCutMove> m_cutMove;
    std::string m_pathName;
    bool m_pathConfirmed = true;
    std::string m_title;

    std::string m_encodingName;
    EScriptEncoding m_encoding = EScriptEncoding::Ansi;
    bool m_useBom = true;
    int m_startLevel = 0;
    std::string m_standardNewDocument;
    std::string m_scriptFileExt;
    std::string m_scriptFileExtName;
    std::string m_dataFileExt;
    std::string m_dataFileExtName;

    struct Listener {
        int id;
        const void* owner;
        UpdateListener callback;
        ChangeListener changeCallback;
    };
    CChangeReport m_pending;
    std::vector<Listener> m_listeners;
    int m_nextListenerId = 1;
};

} // namespace bram
