// The program's entry point; everything else is in the app library.
#include "app/monitor.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  return RunMonitor(instance, commandLine);
}
