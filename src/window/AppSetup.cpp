#include "AppSetup.h"

#include <QCoreApplication>

namespace startup {

void prepareApplication()
{
    // Set after the application object exists, these do nothing (and Qt
    // says so): the window would be drawn at half size on a 200 % screen.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling, true);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps, true);
}

} // namespace startup
