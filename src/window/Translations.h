#pragma once

// Which language the window speaks, and the translators that make it speak
// it. The program's own translations are compiled into the resource bundle;
// Qt's own, for the standard buttons and dialogs, come from the system's Qt
// translations folder where the system has them.

#include <QLocale>
#include <QString>
#include <QStringList>

namespace translations {

// The languages the program carries a translation for, as locale names
// ("de", "zh_CN"), read from the resource bundle.
QStringList available();

// The translation for a system whose locale is `system` and whose preferred
// languages are `preferred`, most preferred first (QLocale::uiLanguages()).
// A C locale, or English met before any language on offer, keeps the source
// texts; otherwise the first preferred language that one of `offered` serves
// wins (same language and script, so Traditional Chinese does not get the
// Simplified translation). Empty means the source texts.
QString choose(const QLocale &system, const QStringList &preferred, const QStringList &offered);

// Installs the program's translation for `language` and Qt's own for it,
// replacing whatever this function installed before. An empty language
// removes them, back to the source texts. Returns false, and leaves the
// source texts, when the program has no translation for `language`.
// Widgets built before the call keep the texts they have.
bool install(const QString &language);

// Installs the translation for the system's locale and preferred languages
// (LANG, LC_ALL, LC_MESSAGES and LANGUAGE decide). Returns the language
// chosen, empty for the source texts. Called once the application object
// exists and before the window is built.
QString installForSystem();

} // namespace translations
