#pragma once

namespace vornisel {

class ClientApp;

// Run by the entry once the panel has launched: starts the built-in UI check ("--ui-smoke") or
// the preview rendering ("--render-preview") when the command line asks for one, and does nothing
// otherwise. Both end the application themselves when they are done. Given both options, the UI
// check runs.
void startBuiltInCheck(ClientApp& app);

}  // namespace vornisel
