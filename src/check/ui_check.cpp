#include "check/ui_check.h"

#include "app/client_app.h"
#include "app/command_line.h"
#include "check/preview_renderer.h"
#include "check/ui_smoke.h"

namespace vornisel {

void startBuiltInCheck(ClientApp& app) {
    const CommandLine options = parseCommandLine(app.arguments());
    // Owned by the controller (their parent), so they live exactly as long as the panel.
    if (options.uiSmoke) {
        (new UiSmoke(app))->start();
    } else if (options.renderPreview) {
        (new PreviewRenderer(app))->start();
    }
}

}  // namespace vornisel
