#include "AppSetup.h"
#include "MainWindow.h"
#include "Translations.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    startup::prepareApplication();
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("com.kelvora.CameraConfig"));
    translations::installForSystem();
    MainWindow window;
    window.show();
    return app.exec();
}
