// The tool's start-up as main() does it, ending once the window has been
// painted: the program that figure 4 times.

#include "MainWindow.h"
#include "startup_shown.h"

int main(int argc, char *argv[])
{
    return startup::showOnce<MainWindow>(argc, argv);
}
