// A stand-in process that does nothing until it is ended. Tests copy it under the names of the
// processes the repair actions end (rundll32.exe and look-alikes) and check which copies survive.
#include <windows.h>

int wmain(int, wchar_t**) {
    Sleep(INFINITE);
    return 0;
}
