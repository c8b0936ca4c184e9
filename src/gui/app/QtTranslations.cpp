#include "gui/app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace bram::gui {

CQtTranslations::CQtTranslations() = default;

CQtTranslations::~CQtTranslations() { Remove(); }

bool CQtTranslations::Install(const QString& language, const QString& folder)
{
    Remove();
    const QLocale locale(language);
    // An unknown name gives the C locale, whose texts are Qt's English ones.
    if (locale.language() == QLocale::English || locale.language() == QLocale::C) {
        return false;
    }
    const QString from = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    auto translator = std::make_unique<QTranslator>();
    // qtbase holds every text of the widgets the editor uses.
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), from) ||
        !QCoreApplication::installTranslator(translator.get())) {
        return false;
    }
    m_translator = std::move(translator);
    return true;
}

void CQtTranslations::Remove()
{
    if (m_translator) {
        QCoreApplication::removeTranslator(m_translator.get());
        m_translator.reset();
    }
}

} // namespace bram::gui
