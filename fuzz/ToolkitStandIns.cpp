#include "ToolkitStandIns.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QThread>
#include <QVariant>
#include <QWidget>

#include <utility>

#include <dlfcn.h>

// The upload pauses 5 ms after every refused data report. Here those pauses
// would make write faults cost more than everything else put together, so
// the pause is made empty for this program; nothing depends on its length.
void QThread::msleep(unsigned long) {}

namespace {

bool realToolkit = false;
std::function<void()> bareBoxOpened;

template<typename Function>
Function realFunction(const char *symbol)
{
    void *found = dlsym(RTLD_NEXT, symbol);
    if (!found)
        qFatal("the toolkit has no %s", symbol);
    return reinterpret_cast<Function>(found);
}

using StaticBox = QMessageBox::StandardButton (*)(QWidget *, const QString &, const QString &,
                                                  QMessageBox::StandardButtons, QMessageBox::StandardButton);
using SheetSetter = void (*)(QWidget *, const QString &);

SheetSetter realSetStyleSheet()
{
    static const SheetSetter setter = realFunction<SheetSetter>("_ZN7QWidget13setStyleSheetERK7QString");
    return setter;
}

const char kSheetProperty[] = "fuzzStyleSheet";

QMessageBox::StandardButton runBox(StaticBox real, QWidget *parent, const QString &title, const QString &text,
                                   QMessageBox::StandardButtons buttons, QMessageBox::StandardButton standard)
{
    if (realToolkit)
        return real(parent, title, text, buttons, standard);
    QEventLoop loop;
    QMetaObject::invokeMethod(
        &loop,
        [&loop] {
            if (bareBoxOpened)
                bareBoxOpened();
            loop.quit();
        },
        Qt::QueuedConnection);
    loop.exec(QEventLoop::DialogExec);
    return QMessageBox::Ok;
}

} // namespace

QMessageBox::StandardButton QMessageBox::warning(QWidget *parent, const QString &title, const QString &text,
                                                 StandardButtons buttons, StandardButton standard)
{
    static const StaticBox real = realFunction<StaticBox>(
        "_ZN11QMessageBox7warningEP7QWidgetRK7QStringS4_6QFlagsINS_14StandardButtonEES6_");
    return runBox(real, parent, title, text, buttons, standard);
}

QMessageBox::StandardButton QMessageBox::information(QWidget *parent, const QString &title,
                                                     const QString &text, StandardButtons buttons,
                                                     StandardButton standard)
{
    static const StaticBox real = realFunction<StaticBox>(
        "_ZN11QMessageBox11informationEP7QWidgetRK7QStringS4_6QFlagsINS_14StandardButtonEES6_");
    return runBox(real, parent, title, text, buttons, standard);
}

QMessageBox::StandardButton QMessageBox::critical(QWidget *parent, const QString &title, const QString &text,
                                                  StandardButtons buttons, StandardButton standard)
{
    static const StaticBox real = realFunction<StaticBox>(
        "_ZN11QMessageBox8criticalEP7QWidgetRK7QStringS4_6QFlagsINS_14StandardButtonEES6_");
    return runBox(real, parent, title, text, buttons, standard);
}

void QWidget::setStyleSheet(const QString &sheet)
{
    setProperty(kSheetProperty, sheet);
    if (realToolkit)
        realSetStyleSheet()(this, sheet);
}

namespace toolkit {

void useReal(bool real)
{
    realToolkit = real;
}

void onBareBox(std::function<void()> opened)
{
    bareBoxOpened = std::move(opened);
}

void applyStyleSheets(QWidget *window)
{
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    for (QWidget *widget : widgets) {
        const QVariant sheet = widget->property(kSheetProperty);
        if (sheet.isValid())
            realSetStyleSheet()(widget, sheet.toString());
    }
}

} // namespace toolkit
