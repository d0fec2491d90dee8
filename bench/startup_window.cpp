// The tool's start-up as main() does it, ending once the window has been
// painted: the program that figure 4 times.

#include "MainWindow.h"
#include "startup_shown.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    MainWindow window;
    startup::ShownProbe probe;
    window.installEventFilter(&probe);
    window.show();
    return app.exec();
}
