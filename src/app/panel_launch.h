#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vornisel {

class ClientApp;
class SingleInstance;
struct LaunchToken;

// Runs the interactive panel, from the toolkit's creation to the end of its event loop, and
// returns the exit status. `arguments` are the command line without the program's name;
// `instance` is this data directory's claim, whose socket the panel answers on when it holds it.
// `launch` is the launcher's startup token, completed once the window shows (or at once when it
// starts hidden). `launched` runs once the controller has launched (never when its store could not
// be opened).
//
// The program's entry and the start-up benchmark both start the panel through here, so that
// what is measured is what users get.
int runPanel(char* program, const std::vector<std::string>& arguments,
             const SingleInstance& instance, const LaunchToken& launch,
             const std::function<void(ClientApp&)>& launched);

}  // namespace vornisel
