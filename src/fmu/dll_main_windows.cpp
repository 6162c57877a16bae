// Windows load hook: the library keeps nothing per thread, so it asks not to be called
// for every thread the host starts or ends.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
    return TRUE;
}
