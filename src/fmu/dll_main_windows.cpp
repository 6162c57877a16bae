// Windows load hook: the library needs no notice of each thread the host starts or ends
// (its per-thread bridge state is the C++ runtime's thread-local storage), so it asks not
// to be called for them.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(module);
    return TRUE;
}
