#include "Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

namespace translations {

namespace {

const char kResourceDir[] = ":/translations";
const char kFilePrefix[] = "kelvora-camera-config_";
const char kFileSuffix[] = ".qm";
// Qt's own translation of its standard buttons and dialogs.
const char kQtFilePrefix[] = "qtbase_";

// Owned by the application object; the pointers let a later install
// replace them.
QPointer<QTranslator> s_program;
QPointer<QTranslator> s_qt;

void removeInstalled()
{
    for (QPointer<QTranslator> *translator : {&s_program, &s_qt}) {
        if (*translator) {
            QCoreApplication::removeTranslator(*translator);
            delete translator->data();
        }
    }
}

bool sameLanguage(const QLocale &wanted, const QLocale &offered)
{
    return wanted.language() == offered.language() && wanted.script() == offered.script();
}

} // namespace

QStringList available()
{
    const QString prefix = QLatin1String(kFilePrefix);
    const QString suffix = QLatin1String(kFileSuffix);
    QStringList languages;
    const QStringList files = QDir(QLatin1String(kResourceDir)).entryList({prefix + QLatin1Char('*') + suffix});
    for (const QString &file : files)
        languages << file.mid(prefix.size(), file.size() - prefix.size() - suffix.size());
    return languages;
}

QString choose(const QLocale &system, const QStringList &preferred, const QStringList &offered)
{
    // As with gettext, a C locale means untranslated output even when
    // LANGUAGE names languages.
    if (system.language() == QLocale::C)
        return QString();
    for (const QString &name : preferred) {
        const QLocale wanted(name);
        if (wanted.language() == QLocale::C || wanted.language() == QLocale::English)
            return QString();
        for (const QString &language : offered) {
            if (sameLanguage(wanted, QLocale(language)))
                return language;
        }
    }
    return QString();
}

bool install(const QString &language)
{
    removeInstalled();
    if (language.isEmpty())
        return true;

    auto *program = new QTranslator(QCoreApplication::instance());
    if (!program->load(QLatin1String(kFilePrefix) + language, QLatin1String(kResourceDir))) {
        delete program;
        return false;
    }
    QCoreApplication::installTranslator(program);
    s_program = program;

    // Not every system has Qt's translations; the standard buttons then stay
    // in English and everything else is still translated.
    auto *qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(QLatin1String(kQtFilePrefix) + language,
                 QLibraryInfo::location(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt);
        s_qt = qt;
    } else {
        delete qt;
    }
    return true;
}

QString installForSystem()
{
    const QLocale system = QLocale::system();
    const QString language = choose(system, system.uiLanguages(), available());
    if (!install(language))
        return QString();
    return language;
}

} // namespace translations
