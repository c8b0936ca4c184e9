#include "gui/app/CommandLine.h"

#include "Version.h"

#include <QDir>
#include <QFileInfo>

namespace bram::gui {

namespace {

const QString kSettingsFile = QStringLiteral("brambleton.ini");

bool IsHelp(const QString& argument) { return argument == QLatin1String("--help") || argument == QLatin1String("-h"); }

} // namespace

bool AsksForTextOnly(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (IsHelp(argument) || argument == QLatin1String("--version")) {
            return true;
        }
    }
    return false;
}

CCommandLine ParseCommandLine(const QStringList& arguments, const QString& currentFolder)
{
    CCommandLine line;
    const auto fail = [&line](const QString& problem) {
        line.action = CCommandLine::EAction::UsageError;
        line.problem = problem;
        return line;
    };
    const QDir base(currentFolder);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (IsHelp(argument)) {
            line.action = CCommandLine::EAction::Help;
            return line;
        }
        if (argument == QLatin1String("--version")) {
            line.action = CCommandLine::EAction::Version;
            return line;
        }
        if (argument == QLatin1String("--workdir")) {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
                return fail(QStringLiteral("--workdir needs a folder"));
            }
            line.workdir = QDir::cleanPath(base.absoluteFilePath(arguments[++i]));
        } else if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            return fail(QStringLiteral("unknown option '%1'").arg(argument));
        } else if (!line.dataFile.isEmpty()) {
            return fail(QStringLiteral("only one data file can be opened, '%1' is one more").arg(argument));
        } else {
            line.dataFile = QDir::cleanPath(base.absoluteFilePath(argument));
        }
    }
    return line;
}

QString HelpText()
{
    return QStringLiteral("brambleton %1 - the Brambleton visual script editor\n\n"
                          "usage: brambleton [--workdir DIR] [DATAFILE]\n"
                          "       brambleton --help | --version\n\n"
                          "  DATAFILE       a data file to open; when it cannot be opened the editor says why\n"
                          "                 and starts with a new document\n"
                          "  --workdir DIR  the program folder (holds brambleton.ini); default: the working\n"
                          "                 folder when it holds brambleton.ini, else the sample workspace\n"
                          "                 installed with the program (share/brambleton/examples)\n"
                          "  --help         show this text\n"
                          "  --version      print the version\n\n"
                          "exit status: 0 when the editor ends normally, 1 when it cannot start, 2 usage error\n")
        .arg(QStringLiteral(BRAMBLETON_VERSION_STRING));
}

QString VersionText() { return QStringLiteral("brambleton %1\n").arg(QStringLiteral(BRAMBLETON_VERSION_STRING)); }

CProgramFolder FindProgramFolder(const QString& workdir, const QString& currentFolder, const QString& executableFolder)
{
    CProgramFolder result;
    QStringList candidates;
    if (!workdir.isEmpty()) {
        candidates << workdir;
    } else {
        const QDir executable(executableFolder);
        candidates << currentFolder << executable.absoluteFilePath(QStringLiteral("../share/brambleton/examples"))
                   << executable.absoluteFilePath(QStringLiteral("../../examples"));
    }
    for (const QString& candidate : candidates) {
        const QString folder = QDir::cleanPath(candidate);
        if (result.tried.contains(folder)) {
            continue;
        }
        result.tried << folder;
        if (QFileInfo(QDir(folder).filePath(kSettingsFile)).isFile()) {
            result.folder = folder;
            break;
        }
    }
    return result;
}

QString NoProgramFolderText(const QStringList& tried)
{
    QString text = QStringLiteral("No program folder: none of these folders holds brambleton.ini:\n");
    for (const QString& folder : tried) {
        text += QStringLiteral("  %1\n").arg(QDir::toNativeSeparators(folder));
    }
    return text + QStringLiteral("Start the editor in its workspace folder or name it with --workdir DIR.");
}

} // namespace bram::gui
