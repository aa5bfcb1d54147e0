#include <windows.h>

// Start-up arrives with the lesson dialog; until then the executable only
// carries the resources.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
