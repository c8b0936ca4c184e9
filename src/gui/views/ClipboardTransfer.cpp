#include "gui/views/ClipboardTransfer.h"

#include "gui/common/UserPrompts.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

namespace bram::gui {

namespace {

QString MimeType() { return QString::fromLatin1(kFragmentMimeType.data(), static_cast<int>(kFragmentMimeType.size())); }

} // namespace

void PutOnClipboard(const SClipboardContent& content)
{
    auto* data = new QMimeData;
    data->setData(MimeType(), QByteArray::fromStdString(content.fragment));
    data->setText(ToQ(content.code));
    QApplication::clipboard()->setMimeData(data);
}

std::string FragmentOnClipboard()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data != nullptr && data->hasFormat(MimeType()) ? data->data(MimeType()).toStdString() : std::string();
}

bool HasFragmentOnClipboard()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data != nullptr && data->hasFormat(MimeType());
}

bool ReportPaste(QWidget* parent, const SPasteOutcome& outcome)
{
    switch (outcome.result) {
    case EPasteResult::Pasted: return true;
    case EPasteResult::WrongPlace: UserPrompts().Beep(); return false;
    case EPasteResult::Refused:
        UserPrompts().MessageBox(parent, QMessageBox::Warning, MessageTitle(), Localized("MainFrame/PasteRefused"),
                                 QMessageBox::Ok, Localized("MainFrame/PasteRefusedReason", {ToQ(outcome.reason)}));
        return false;
    }
    return false;
}

} // namespace bram::gui
