#pragma once
// Qt's own texts (standard buttons, file dialogs, key names such as "Strg")
// in the language of the workspace's string tables. English is Qt's own
// language, so nothing is loaded for it; a language Qt has no translation
// for stays English too.

#include <QString>

#include <memory>

class QTranslator;

namespace bram::gui {

class CQtTranslations {
public:
    CQtTranslations();
    ~CQtTranslations();
    CQtTranslations(const CQtTranslations&) = delete;
    CQtTranslations& operator=(const CQtTranslations&) = delete;

    // Replaces the installed translation by Qt's one for the language ("de",
    // "pt_BR") from folder (empty: Qt's translations folder). False when none
    // is installed: English, or no translation file for the language there.
    bool Install(const QString& language, const QString& folder = {});
    void Remove();
    bool IsInstalled() const { return m_translator != nullptr; }

private:
    std::unique_ptr<QTranslator> m_translator;
};

} // namespace bram::gui
