#pragma once

#include <QLibraryInfo>
#include <QProcessEnvironment>
#include <QString>
#include <QTranslator>

// The panel's two languages. Its texts are written in Chinese; English comes
// from the catalogue compiled into the program.
enum class PanelLanguage { Chinese, English };

// The language asked for: `option` is --lang's value ("en" or "zh") when
// given. Otherwise the locale's: the first of LC_ALL, LC_MESSAGES and LANG
// that is set names the locale; unless that is C or POSIX (or unset), the
// languages listed in LANGUAGE come before the locale's own. The first of
// them that is English or Chinese decides; Chinese when none is.
PanelLanguage chooseLanguage(const QString& option, const QProcessEnvironment& environment);

// Puts the language in force for the application while it lives: the
// panel's English catalogue for English, and Qt's own catalogue from
// `qtFolder` (the buttons of boxes, file dialogs) for either language. A
// catalogue that is missing is left out without a word: the texts stay as
// written.
class Translations {
public:
    explicit Translations(PanelLanguage language, const QString& qtFolder = QLibraryInfo::path(
                                                      QLibraryInfo::TranslationsPath));
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;

private:
    QTranslator panel_;
    QTranslator qt_;
};
