// Program entry: hands the platform's entry arguments to the shell.
#include "shell/mainwindow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR, int showCommand)
{
    return TrilvoMain(instance, previous, showCommand);
}
