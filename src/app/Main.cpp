// The program's entry: the one application object runs start-up and the message loop.
#include "app/TarvolinApp.h"

namespace {
CTarvolinApp theApp;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    return theApp.Run(instance, commandLine != nullptr ? commandLine : "");
}
