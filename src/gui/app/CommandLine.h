#pragma once
// The editor's command line and where it finds its program folder.
//
//   brambleton [--workdir DIR] [DATAFILE]
//   brambleton --help | --version
//
// Without --workdir the program folder is the working folder when it holds
// "brambleton.ini", else the sample workspace installed with the program
// (<prefix>/share/brambleton/examples beside <prefix>/bin), else the one
// the build assembles (<build>/examples beside <build>/src/gui).

#include <QString>
#include <QStringList>

namespace bram::gui {

struct CCommandLine {
    enum class EAction { Run, Help, Version, UsageError };
    EAction action = EAction::Run;
    // Absolute, or empty when not given.
    QString workdir;
    QString dataFile;
    // What was wrong, for EAction::UsageError.
    QString problem;
};

// arguments: without the program name; relative paths are taken from currentFolder.
CCommandLine ParseCommandLine(const QStringList& arguments, const QString& currentFolder);
// True when the arguments ask for --help or --version, which need no window.
bool AsksForTextOnly(const QStringList& arguments);

QString HelpText();
QString VersionText();

struct CProgramFolder {
    // Empty when none of the tried folders holds "brambleton.ini".
    QString folder;
    QStringList tried;
};

CProgramFolder FindProgramFolder(const QString& workdir, const QString& currentFolder, const QString& executableFolder);

// The Fatal Error box's details when no program folder was found.
QString NoProgramFolderText(const QStringList& tried);

} // namespace bram::gui
