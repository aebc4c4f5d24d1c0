// A DLL planted beside a program under a system DLL's name. It exports
// nothing; that it ran at all is what the test looks for.
#include "testing/ui/planted_log.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        RecordThatItRan(module);
    }
    return TRUE;
}
