// brambleton: the editor. Started as
//   brambleton [data file]            in the program folder (holds brambleton.ini)
//   brambleton --fatal-error TITLE TEXT
// The second form only shows the "Fatal Error" box; the crash handler starts
// it, since a signal handler cannot run window code.

#include "gui/app/Application.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

#include <cstring>

int main(int argc, char** argv)
{
    using bram::gui::CApplication;
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("brambleton"));

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (!arguments.isEmpty() && arguments.first() == QLatin1String(CApplication::kFatalErrorOption)) {
        const QString title = arguments.value(1);
        QString text = arguments.value(2);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QMessageBox::critical(nullptr, title, text);
        return 0;
    }

    CApplication application;
    if (!application.InitInstance(QDir::currentPath(), arguments, QApplication::applicationFilePath())) {
        application.ExitInstance();
        return 1;
    }
    const int code = QApplication::exec();
    application.ExitInstance();
    return code;
}
