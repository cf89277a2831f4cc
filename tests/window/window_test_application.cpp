// The application object of the window tests: the window code asks it for the module handle,
// the application name, the help file and the main window.
#include "framework/ZApplication.h"

namespace {

class WindowTestApplication : public ZApplication {
public:
    bool InitInstance() override { return true; }
};

WindowTestApplication g_application;

}  // namespace
