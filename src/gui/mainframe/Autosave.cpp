#include "gui/mainframe/Autosave.h"

#include "gui/common/UserPrompts.h"

#include "document/ApplicationDocument.h"
#include "log/Log.h"

#include <QDateTime>
#include <QDir>
#include <QLocale>

namespace bram::gui {

CAutosave::CAutosave(CApplicationDocument& document, const std::string& folder, int intervalMs, QObject* parent)
    : QObject(parent), m_document(document), m_store(folder)
{
    connect(&m_timer, &QTimer::timeout, this, &CAutosave::Tick);
    if (intervalMs > 0) {
        m_timer.start(intervalMs);
    }
}

void CAutosave::Tick()
{
    if (!m_document.IsModified()) {
        return;
    }
    std::string error;
    if (!m_store.Write(m_document, &error)) {
        LogPrintf("Autosave failed: %s\n", error.c_str());
    }
}

bool CAutosave::OfferRecovery(QWidget* parent, const QString& documentPath)
{
    for (const CRecoveryStore::SRecoverable& found : m_store.FindRecoverable()) {
        if (!documentPath.isEmpty() && ToQ(found.documentPath) != documentPath) {
            continue;
        }
        // The whole path: the recovery file alone names it, and a save goes there.
        const QString name = found.documentPath.empty() ? Localized("MainFrame/Untitled")
                                                        : QDir::toNativeSeparators(ToQ(found.documentPath));
        const QDateTime when = QDateTime::fromSecsSinceEpoch(found.written);
        const QString time = when.date() == QDate::currentDate() ? when.toString(QStringLiteral("HH:mm"))
                                                                 : QLocale().toString(when, QLocale::ShortFormat);
        const QString question = Localized("MainFrame/RestoreRecovery", {name, time});
        const auto answer = UserPrompts().MessageBox(parent, QMessageBox::Question, Localized("MainFrame/Title"),
                                                     question, QMessageBox::Yes | QMessageBox::No, {});
        if (answer != QMessageBox::Yes) {
            CRecoveryStore::Discard(found);
            return false;
        }
        // Another document than the one asked for goes nowhere without "save as".
        const bool asked = !documentPath.isEmpty();
        std::string error;
        if (!m_store.Restore(m_document, found, asked, &error)) {
            // Kept for another try (a module installed, say); the document stays.
            UserPrompts().MessageBox(
                parent, QMessageBox::Critical, Localized("MainFrame/Title"), Localized("MainFrame/RecoveryFailed"),
                QMessageBox::Ok,
                Localized("MainFrame/FailureDetails", {QDir::toNativeSeparators(ToQ(found.file)), ToQ(error)}));
            return false;
        }
        CRecoveryStore::Discard(found);
        m_document.UpdateAllViews();
        // The restored state lives on in this editor's own recovery file.
        Tick();
        return true;
    }
    return false;
}

} // namespace bram::gui
