#pragma once
// Autosave for the main window: while the document has unsaved changes, its
// state goes to this editor's recovery file every few minutes (the core's
// CRecoveryStore); a save, new, open or quit removes the file. At start the
// editor offers a recovery file that no running editor owns.

#include "document/Recovery.h"

#include <QObject>
#include <QTimer>

class QWidget;

namespace bram {
class CApplicationDocument;
}

namespace bram::gui {

class CAutosave : public QObject {
    Q_OBJECT
public:
    // intervalMs 0: no timer (Tick still writes).
    CAutosave(CApplicationDocument& document, const std::string& folder, int intervalMs, QObject* parent = nullptr);

    // Writes the recovery file when the document has unsaved changes.
    void Tick();
    // The document equals its file again (or is given up): no recovery file.
    void Discard() { m_store.Remove(); }
    CRecoveryStore& Store() { return m_store; }
    const QTimer& Timer() const { return m_timer; }

    // Asks about the newest recovery file of another editor for that
    // document (any document when path is empty); restores it or deletes it
    // as answered. True when the document was restored.
    bool OfferRecovery(QWidget* parent, const QString& documentPath);

private:
    CApplicationDocument& m_document;
    CRecoveryStore m_store;
    QTimer m_timer;
};

} // namespace bram::gui
