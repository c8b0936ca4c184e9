// brambleton: the editor. Started as
//   brambleton [--workdir DIR] [DATAFILE]    (see CommandLine.h)
//   brambleton --help | --version            text only, no window
//   brambleton --fatal-error TITLE TEXT
// The last form only shows the "Fatal Error" box; the crash handler starts
// it, since a signal handler cannot run window code. With the environment
// variable BRAMBLETON_UNATTENDED set, boxes go to standard error (see
// CUnattendedPrompts) and the editor closes its window as soon as it has started.

#include "gui/app/Application.h"
#include "gui/app/CommandLine.h"
#include "gui/common/UserPrompts.h"
#include "gui/mainframe/MainFrame.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

namespace {

QStringList Arguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

int Print(std::FILE* out, const QString& text, int code)
{
    std::fputs(text.toLocal8Bit().constData(), out);
    return code;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace bram::gui;
    // Help and version need no display: answer them before Qt opens one.
    const QStringList early = Arguments(argc, argv);
    if (AsksForTextOnly(early)) {
        const CCommandLine line = ParseCommandLine(early, QDir::currentPath());
        if (line.action == CCommandLine::EAction::Help) {
            return Print(stdout, HelpText(), 0);
        }
        if (line.action == CCommandLine::EAction::Version) {
            return Print(stdout, VersionText(), 0);
        }
    }

    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("brambleton"));
    // Qt has taken its own options (-platform, -style) out.
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (!arguments.isEmpty() && arguments.first() == QLatin1String(CApplication::kFatalErrorOption)) {
        const QString title = arguments.value(1);
        QString text = arguments.value(2);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QMessageBox::critical(nullptr, title, text);
        return 0;
    }

    CUnattendedPrompts unattended;
    const bool nobodyThere = qEnvironmentVariableIsSet("BRAMBLETON_UNATTENDED");
    if (nobodyThere) {
        SetUserPrompts(&unattended);
    }

    const CCommandLine line = ParseCommandLine(arguments, QDir::currentPath());
    if (line.action == CCommandLine::EAction::UsageError) {
        return Print(stderr,
                     QStringLiteral("brambleton: %1\nusage: brambleton [--workdir DIR] [DATAFILE]\n").arg(line.problem),
                     2);
    }
    const CProgramFolder program =
        FindProgramFolder(line.workdir, QDir::currentPath(), QApplication::applicationDirPath());
    if (program.folder.isEmpty()) {
        // No settings, so no string tables: the box is in English, as the fatal box always is.
        const QString details = NoProgramFolderText(program.tried);
        Print(stderr, details + QLatin1Char('\n'), 1);
        UserPrompts().MessageBox(nullptr, QMessageBox::Critical, QLatin1String(CApplication::kFatalErrorTitle),
                                 QLatin1String(CApplication::kFatalErrorText), QMessageBox::Ok, details);
        return 1;
    }

    CApplication application;
    const QStringList files = line.dataFile.isEmpty() ? QStringList() : QStringList{line.dataFile};
    if (!application.InitInstance(program.folder, files, QApplication::applicationFilePath())) {
        application.ExitInstance();
        return 1;
    }
    if (nobodyThere) {
        // Started, and any box of the start answered: end as the user would.
        QTimer::singleShot(0, application.MainFrame(), &QWidget::close);
    }
    const int code = QApplication::exec();
    application.ExitInstance();
    return code;
}
