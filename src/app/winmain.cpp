// Program entry point: the platform's start-up code calls WinMain with the command-line tail.
#include "main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand)
{
    return RunProgram(instance, commandLine, showCommand);
}
