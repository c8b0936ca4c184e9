#include "gui/mainframe/RecentFileList.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <memory>

namespace bram::gui {

namespace {
const QString kGroup = QStringLiteral("Recent File List");
} // namespace

std::unique_ptr<QSettings> OpenUserSettings(const QString& file)
{
    if (file.isEmpty()) {
        return std::make_unique<QSettings>(QStringLiteral("brambleton"), QStringLiteral("brambleton"));
    }
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

CRecentFileList::CRecentFileList(QString settingsFile) : m_settingsFile(std::move(settingsFile)) { Load(); }

void CRecentFileList::Load()
{
    const auto settings = OpenUserSettings(m_settingsFile);
    settings->beginGroup(kGroup);
    for (int i = 1; i <= kSize; ++i) {
        const QString path = settings->value(QStringLiteral("File%1").arg(i)).toString();
        if (!path.isEmpty() && !m_files.contains(path)) {
            m_files.append(path);
        }
    }
}

void CRecentFileList::Add(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    m_files.removeAll(absolute);
    m_files.prepend(absolute);
    while (m_files.size() > kSize) {
        m_files.removeLast();
    }
    Save();
}

void CRecentFileList::Remove(int index)
{
    if (index >= 0 && index < m_files.size()) {
        m_files.removeAt(index);
        Save();
    }
}

void CRecentFileList::Save() const
{
    const auto settings = OpenUserSettings(m_settingsFile);
    settings->beginGroup(kGroup);
    for (int i = 1; i <= kSize; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= m_files.size()) {
            settings->setValue(key, m_files[i - 1]);
        } else {
            settings->remove(key);
        }
    }
    settings->endGroup();
    settings->sync();
}

QString CRecentFileList::MenuText(int index) const
{
    if (index < 0 || index >= m_files.size()) {
        return {};
    }
    QString path = QDir::toNativeSeparators(m_files[index]);
    // A "&" in a path is shown, not taken as a mnemonic.
    path.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(index + 1).arg(path);
}

} // namespace bram::gui
