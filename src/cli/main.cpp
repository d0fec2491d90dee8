// kelvora-camera-cli: the camera from a terminal or a script. Linked with
// the system hidapi; the demo links the same code with the virtual camera.

#include "cli/Cli.h"

#include <QStringList>

#include <cstdio>

#include <unistd.h>

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return cli::runCli(arguments, stdout, stderr, isatty(STDOUT_FILENO) == 1);
}
