// The entry point of a program built on this framework: the application object, built by
// static initialisation, does the rest.
#include "afx/afx_app.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    return AfxWinMain(hInstance);
}
