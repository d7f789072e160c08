// Program entry point.
#include "program_state.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    ResetProgramState(instance, commandLine);
    return 0;
}
