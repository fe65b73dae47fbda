#include "Translations.h"

#include <QCoreApplication>
#include <QLocale>

#include <optional>

namespace {

// "en", "en_US.UTF-8", "en_GB@euro", "zh_CN" ...: the letters before the
// territory, codeset or modifier.
std::optional<PanelLanguage> languageOf(const QString& name) {
    qsizetype end = 0;
    while (end < name.size() && name[end].isLetter())
        ++end;
    const QStringView code = QStringView(name).left(end);
    if (code.compare(QLatin1String("en"), Qt::CaseInsensitive) == 0)
        return PanelLanguage::English;
    if (code.compare(QLatin1String("zh"), Qt::CaseInsensitive) == 0)
        return PanelLanguage::Chinese;
    return std::nullopt;
}

bool isCLocale(const QString& locale) {
    return locale.isEmpty() || locale == QLatin1String("C") || locale.startsWith(u"C.") ||
           locale == QLatin1String("POSIX");
}

} // namespace

PanelLanguage chooseLanguage(const QString& option, const QProcessEnvironment& environment) {
    if (!option.isEmpty())
        return languageOf(option).value_or(PanelLanguage::Chinese);
    QString locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = environment.value(QLatin1String(name));
        if (!locale.isEmpty())
            break;
    }
    // The C locale speaks the program's own language, whatever LANGUAGE
    // lists: gettext ignores it there too.
    if (isCLocale(locale))
        return PanelLanguage::Chinese;
    const QStringList preferred =
        environment.value(QStringLiteral("LANGUAGE")).split(u':', Qt::SkipEmptyParts);
    for (const QString& entry : preferred) {
        if (const auto language = languageOf(entry))
            return *language;
    }
    return languageOf(locale).value_or(PanelLanguage::Chinese);
}

Translations::Translations(PanelLanguage language, const QString& qtFolder) {
    const QLocale locale =
        language == PanelLanguage::English
            ? QLocale(QLocale::English, QLocale::UnitedStates)
            : QLocale(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China);
    if (qt_.load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), qtFolder))
        QCoreApplication::installTranslator(&qt_);
    if (language == PanelLanguage::English && panel_.load(QStringLiteral(":/i18n/velmor_en.qm")))
        QCoreApplication::installTranslator(&panel_);
}

Translations::~Translations() {
    QCoreApplication::removeTranslator(&panel_);
    QCoreApplication::removeTranslator(&qt_);
}
