// The updater's one application object, built by static initialisation before WinMain.
#include "app/halvern_app.h"

CHalvernApp theApp;
