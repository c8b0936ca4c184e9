#pragma once
// Autosave and recovery: while a document has unsaved changes, the editor
// writes its state now and then to a recovery file of its own in a folder of
// the user's; a normal save, new, open or quit without saving removes it. A
// later start offers the recovery files that no running editor owns.
//
// Each editor holds a lock on "editor-<pid>.lock" for as long as it runs and
// names its recovery files "<pid>-<document>.bdf", with the document's path
// in "<pid>-<document>.origin" beside it; a recovery file whose editor still
// holds its lock belongs to that editor and is never offered to another.
//
// The folder is used only when no other user could change what is in it (the
// checks of the log folder) and it is no symbolic link; files in it are read
// without following links.

#include <ctime>
#include <string>
#include <vector>

namespace bram {

class CApplicationDocument;

// "User"/"AutosaveMinutes" of the program settings: minutes between
// autosaves, 2 when unset, 0 for none.
unsigned GetAutosaveMinutes();
// The recovery folder inside the user data folder.
std::string RecoveryFolder(const std::string& userDataFolder);

class CRecoveryStore {
public:
    // folder: where recovery files live (made on first use, private to the user).
    explicit CRecoveryStore(const std::string& folder);
    ~CRecoveryStore();
    CRecoveryStore(const CRecoveryStore&) = delete;
    CRecoveryStore& operator=(const CRecoveryStore&) = delete;

    // Writes the document's state to this editor's recovery file (atomic,
    // never over the document's own file); false with the reason otherwise.
    bool Write(const CApplicationDocument& document, std::string* error = nullptr);
    // Removes this editor's recovery file (after a save, new, open or quit).
    void Remove();

    struct SRecoverable {
        std::string file;         // the recovery file
        std::string documentPath; // the document it stands for; empty for an untitled one
        std::time_t written = 0;
    };
    // Recovery files of editors that no longer run and that are newer than
    // their document (every one of an untitled document), newest first. One
    // whose origin is no absolute path is not offered.
    std::vector<SRecoverable> FindRecoverable();
    // Opens the recovery file as the document at its original path, modified;
    // pathConfirmed: the user asked for that document, else its first save
    // asks where to. A file that does not load leaves the document as it was
    // and gives false with the reason.
    bool Restore(CApplicationDocument& document, const SRecoverable& recoverable, bool pathConfirmed,
                 std::string* error = nullptr);
    // Deletes a recovery file the user declined (or restored).
    static void Discard(const SRecoverable& recoverable);

    const std::string& GetFolder() const { return m_folder; }

private:
    // Opens the folder (made first when create is set) after its checks;
    // false with the reason in problem, or with none when it is not there.
    bool OpenFolder(bool create, std::string& problem);
    bool Prepare(std::string& problem);
    std::string OwnStem() const;

    std::string m_folder;
    int m_dir = -1; // the checked folder (O_PATH)
    int m_lock = -1;
    std::string m_written; // this editor's current recovery file, if any
};

} // namespace bram
