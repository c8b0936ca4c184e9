#pragma once
// The recent-file list of the File menu: 4 paths, newest first, kept in the
// user settings file under "Recent File List" as "File1" to "File4".

#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

namespace bram::gui {

// The user settings file in Qt's INI format; an empty name means the default profile store.
std::unique_ptr<QSettings> OpenUserSettings(const QString& file);

class CRecentFileList {
public:
    static constexpr int kSize = 4;

    // settingsFile: the user settings file; empty means the default profile store.
    explicit CRecentFileList(QString settingsFile);

    const QStringList& Files() const { return m_files; }
    // Puts the path first (once); the oldest falls off.
    void Add(const QString& path);
    void Remove(int index);
    // Writes the list to the settings file.
    void Save() const;
    // The menu text of entry index: "&1 path".
    QString MenuText(int index) const;

private:
    void Load();

    QString m_settingsFile;
    QStringList m_files;
};

} // namespace bram::gui
