// The DLL entry point: all of a module's work happens in the host's calls, so
// loading and unloading only answer success.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
