// Every test program speaks the language its environment asks for, chosen
// and installed the way the program does it. Run under LC_ALL=C.UTF-8 or an
// English locale, the window must show exactly its source texts.

#include "Translations.h"

#include <QCoreApplication>

#include <clocale>

namespace {

void installSystemLanguage()
{
    // A locale that the environment names but the system lacks leaves the C
    // library in the C locale, and the run would prove nothing about it.
    if (!std::setlocale(LC_ALL, ""))
        qFatal("the locale named by LC_ALL or LANG is not installed (Debian: locales, then locale-gen)");
    translations::installForSystem();
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installSystemLanguage)
