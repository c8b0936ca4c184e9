#include "gui/mainframe/Autosave.h"

#include "gui/app/UserPrompts.h"

#include "document/ApplicationDocument.h"
#include "localization/Localization.h"
#include "log/Log.h"

#include <QDateTime>
#include <QFileInfo>
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
        const QString name = found.documentPath.empty() ? ToQ(GetLocalizedString("MainFrame/Untitled"))
                                                        : QFileInfo(ToQ(found.documentPath)).fileName();
        const QDateTime when = QDateTime::fromSecsSinceEpoch(found.written);
        const QString time = when.date() == QDate::currentDate() ? when.toString(QStringLiteral("HH:mm"))
                                                                 : QLocale().toString(when, QLocale::ShortFormat);
        const QString question = ToQ(FillPlaceholders(GetLocalizedString("MainFrame/RestoreRecovery"),
                                                      {name.toStdString(), time.toStdString()}));
        const auto answer =
            UserPrompts().MessageBox(parent, QMessageBox::Question, ToQ(GetLocalizedString("MainFrame/Title")),
                                     question, QMessageBox::Yes | QMessageBox::No, {});
        std::string error;
        const bool restored = answer == QMessageBox::Yes && m_store.Restore(m_document, found, &error);
        CRecoveryStore::Discard(found);
        if (restored) {
            m_document.UpdateAllViews();
            // The restored state lives on in this editor's own recovery file.
            Tick();
        }
        return restored;
    }
    return false;
}

} // namespace bram::gui
