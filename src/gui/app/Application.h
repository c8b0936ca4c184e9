#pragma once
// The editor's application: the start-up sequence with the loading box on
// screen, the document and the main window, and the shut-down sequence.
// The widget-free steps are the core's (CApplicationCore); this class adds
// the windows and the "Fatal Error" box.

#include "gui/app/QtTranslations.h"

#include "app/ApplicationCore.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace bram {
class CApplicationDocument;
}

namespace bram::gui {

class CLoadingBox;
class CMainFrame;

class CApplication {
public:
    CApplication();
    ~CApplication();
    CApplication(const CApplication&) = delete;
    CApplication& operator=(const CApplication&) = delete;

    // Runs start-up in the program folder and opens the main window with a
    // new document; arguments: a data file to open then, or none. A file
    // that cannot be opened shows its failure box and the editor goes on.
    // False when start-up failed (after the "Fatal Error" box with the
    // reasons the log received); ExitInstance runs either way.
    // programPath, when given, is registered as the crash handler's helper
    // that shows the "Fatal Error" box (the program started with
    // kFatalErrorOption).
    bool InitInstance(const QString& workingFolder, const QStringList& arguments, const QString& programPath = {});
    // The shut-down sequence: windows and document first (their code nodes
    // hold module records), then the core's steps.
    void ExitInstance();

    CApplicationCore& Core() { return m_core; }
    CMainFrame* MainFrame() const { return m_frame.get(); }
    CApplicationDocument* Document() const { return m_document.get(); }
    // Kept (hidden) after start-up so its last state can be read.
    CLoadingBox* LoadingBox() const { return m_loadingBox.get(); }

    static constexpr const char* kFatalErrorOption = "--fatal-error";
    static constexpr const char* kFatalErrorTitle = "Fatal Error";
    static constexpr const char* kFatalErrorText =
        "Error while initializing application. \r\nStopped Execution. Program will shut down.";

private:
    void CreateMainWindow();

    CApplicationCore m_core;
    CQtTranslations m_qtTranslations;
    std::unique_ptr<CLoadingBox> m_loadingBox;
    std::unique_ptr<CApplicationDocument> m_document;
    std::unique_ptr<CMainFrame> m_frame;
};

// Installs the "Internal Assertion Failed" question of the assertion routine.
void InstallAssertionQuestion();

} // namespace bram::gui
