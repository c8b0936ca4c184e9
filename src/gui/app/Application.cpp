#include "gui/app/Application.h"

#include "gui/app/LoadingBox.h"
#include "gui/app/UserPrompts.h"
#include "gui/mainframe/MainFrame.h"

#include "document/ApplicationDocument.h"
#include "log/Assertion.h"
#include "log/CrashHandler.h"
#include "log/Log.h"

#include <QApplication>
#include <QFileInfo>

namespace bram::gui {

void InstallAssertionQuestion()
{
    SetAssertionQuestionHook([](const std::string& message) {
        return UserPrompts().MessageBox(nullptr, QMessageBox::Critical, QStringLiteral("Internal Assertion Failed"),
                                        ToQ(message), QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    });
}

CApplication::CApplication() = default;

CApplication::~CApplication() { ExitInstance(); }

bool CApplication::InitInstance(const QString& workingFolder, const QStringList& arguments, const QString& programPath)
{
    InstallAssertionQuestion();
    if (!programPath.isEmpty()) {
        SetFatalErrorCommand({QFileInfo(programPath).absoluteFilePath().toStdString(), kFatalErrorOption});
    }

    m_loadingBox = std::make_unique<CLoadingBox>();
    m_loadingBox->show();
    // Map the box before the long steps: start-up runs without an event loop.
    QApplication::processEvents();

    bool started = m_core.InitInstance(workingFolder.toStdString(), m_loadingBox->Progress());
    bool fatal = !started;
    if (started) {
        try {
            // A command-line file that cannot be read ends start-up after
            // the document's own report, without the fatal box.
            started = CreateMainWindow(arguments);
        } catch (...) {
            LogWrite("Could not initialize program.\n");
            started = false;
            fatal = true;
        }
    }
    m_loadingBox->hide();
    if (fatal) {
        UserPrompts().MessageBox(nullptr, QMessageBox::Critical, QLatin1String(kFatalErrorTitle),
                                 QLatin1String(kFatalErrorText), QMessageBox::Ok);
    }
    return started;
}

bool CApplication::CreateMainWindow(const QStringList& arguments)
{
    CLoadingProgress& progress = m_loadingBox->Progress();
    m_document = std::make_unique<CApplicationDocument>();
    m_frame = std::make_unique<CMainFrame>(*m_document, QString::fromStdString(m_core.GetUserSettingsFile()),
                                           QString::fromStdString(m_core.GetProgramFolder()));
    // A new document also when a file is named: it sets up the file types.
    m_document->NewDocument();
    m_document->UpdateAllViews();
    if (!arguments.isEmpty() && !m_frame->OpenFile(arguments.first())) {
        // The document side has reported the failure.
        return false;
    }
    m_frame->show();
    m_frame->repaint();
    progress.FinishTask();
    return true;
}

void CApplication::ExitInstance()
{
    m_frame.reset();
    m_document.reset();
    m_loadingBox.reset();
    m_core.ExitInstance();
    SetAssertionQuestionHook(nullptr);
}

} // namespace bram::gui
