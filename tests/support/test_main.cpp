// The main of every test program: an application object, so that the framework's services
// (message box caption, resources) behave as in the updater, then GoogleTest.
#include <gtest/gtest.h>

#include "afx/afxwin.h"

namespace {

class TestApp : public CWinApp {
public:
    TestApp() : CWinApp("Ostrel Pelmora update") {}
};

TestApp theTestApp;

}  // namespace

int main(int argc, char** argv) {
    AfxWinInit(&theTestApp, ::GetModuleHandleA(nullptr), ::GetCommandLineA());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
