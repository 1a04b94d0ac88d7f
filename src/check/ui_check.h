#pragma once

#include <string>
#include <vector>

namespace vornisel {

class ClientApp;

// Run by the entry before the panel starts, with the program's arguments: for the UI check or the
// preview rendering, makes the engines simulate (VORNISEL_HOST_SIMULATE), and on a machine where
// ALSA offers no usable device gives this process and the engines it starts the bundle's demo
// devices (Contents/Resources/alsa/demo.asoundrc), added through ALSA_CONFIG_PATH so that
// nothing else moves. Says so on standard error. Does nothing otherwise. Call it before any other
// thread exists: it changes the environment.
void prepareBuiltInCheck(const std::vector<std::string>& arguments);

// Run by the entry once the panel has launched: starts the built-in UI check ("--ui-smoke") or
// the preview rendering ("--render-preview") when the command line asks for one, and does nothing
// otherwise. Both end the application themselves when they are done. Given both options, the UI
// check runs.
void startBuiltInCheck(ClientApp& app);

}  // namespace vornisel
