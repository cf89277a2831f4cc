// The application object of the tray tests: the tray window asks it for the module handle (its
// resources are RwServer's own, linked into the test) and the application name.
#include "framework/ZApplication.h"

namespace {

class TrayTestApplication : public ZApplication {
public:
    TrayTestApplication() { SetAppName("Railwick Server"); }
    bool InitInstance() override { return true; }
};

TrayTestApplication g_application;

}  // namespace
