#include "gui/app/Application.h"

#include "gui/app/LoadingBox.h"
#include "gui/common/UserPrompts.h"
#include "gui/mainframe/MainFrame.h"

#include "document/ApplicationDocument.h"
#include "document/Recovery.h"
#include "localization/Localization.h"
#include "log/Assertion.h"
#include "log/CrashHandler.h"
#include "log/Diagnostics.h"
#include "log/Log.h"

#include <QApplication>
#include <QFileInfo>

namespace bram::gui {

void InstallAssertionQuestion()
{
    SetAssertionQuestionHook([](const std::string& message) {
        return UserPrompts().MessageBox(nullptr, QMessageBox::Critical, QStringLiteral("Internal Assertion Failed"),
                                        ToQ(message), QMessageBox::Yes | QMessageBox::No,
                                        QString()) == QMessageBox::Yes;
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

    // The reasons the log receives while starting (also without a log file)
    // go into the fatal box, as the CLI prints them.
    QStringList reasons;
    CDiagnostics::Instance().SetObserver([&reasons](std::string_view text) {
        const QString reason = ToQ(StartUpFailureReason(text)).trimmed();
        if (!reason.isEmpty()) {
            reasons << reason;
        }
    });
    bool started = m_core.InitInstance(workingFolder.toStdString(), m_loadingBox->Progress());
    if (started) {
        // Before any window: Qt translates its texts when a widget is made.
        const std::string& language = GetLanguage();
        const bool translated = m_qtTranslations.Install(QString::fromStdString(language));
        LogPrintf("Qt's own texts are in %s.\n", translated ? language.c_str() : "English");
        try {
            CreateMainWindow();
        } catch (...) {
            LogWrite("Could not initialize program.\n");
            started = false;
        }
    }
    CDiagnostics::Instance().SetObserver(nullptr);
    m_loadingBox->hide();
    if (!started) {
        UserPrompts().MessageBox(nullptr, QMessageBox::Critical, QLatin1String(kFatalErrorTitle),
                                 QLatin1String(kFatalErrorText), QMessageBox::Ok, reasons.join(QLatin1Char('\n')));
        return false;
    }
    // A file that cannot be opened is reported over the running editor, which
    // goes on with a new document: ending here would leave a double click on
    // a broken file with nothing to see.
    if (!arguments.isEmpty()) {
        m_frame->OpenFile(arguments.first());
    }
    // Work a crashed or killed editor left behind, of this document or any.
    m_frame->OfferRecovery(arguments.isEmpty() ? QString() : QFileInfo(arguments.first()).absoluteFilePath());
    return true;
}

void CApplication::CreateMainWindow()
{
    CLoadingProgress& progress = m_loadingBox->Progress();
    m_document = std::make_unique<CApplicationDocument>();
    m_frame = std::make_unique<CMainFrame>(*m_document, QString::fromStdString(m_core.GetUserSettingsFile()),
                                           QString::fromStdString(m_core.GetProgramFolder()));
    m_frame->EnableAutosave(QString::fromStdString(RecoveryFolder(m_core.GetUserDataFolder())));
    m_document->NewDocument();
    m_document->UpdateAllViews();
    m_frame->show();
    m_frame->repaint();
    progress.FinishTask();
}

void CApplication::ExitInstance()
{
    m_frame.reset();
    m_document.reset();
    m_loadingBox.reset();
    m_qtTranslations.Remove();
    m_core.ExitInstance();
    SetAssertionQuestionHook(nullptr);
}

} // namespace bram::gui
