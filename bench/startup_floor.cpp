// The floor of figure 4: the least a Qt widgets program does to show a
// window, an empty QMainWindow, ending once it has been painted.

#include "startup_shown.h"

#include <QMainWindow>

int main(int argc, char *argv[])
{
    return startup::showOnce<QMainWindow>(argc, argv);
}
