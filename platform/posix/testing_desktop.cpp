// The reset of the whole simulated desktop; each area implements its own part of the test
// interface beside its state.
#include "platform/win32.h"
#include "platform/testing.h"

void RwTestResetDesktop() {
    RwTestResetMessageBoxes();
    RwTestResetMenus();
    RwTestResetCursors();
    RwTestResetShell();
    RwTestResetDrawing();
}
