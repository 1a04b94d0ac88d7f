// A panel without a window: it starts the engines of the given devices exactly as the
// application does (configuration file, "--parent-pid" of its own), prints each engine's process
// id on a line, and then keeps polling them until it is killed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <thread>

#include "engine/engine_controller.h"
#include "engine/manual_dispatch.h"
#include "engine/window_hooks.h"
#include "model/panel_store.h"

using namespace vornisel;

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: fake_panel BUNDLE DATA_DIR ID...\n");
        return 2;
    }
    try {
        PanelStore store(argv[2]);
        std::vector<Profile> clients;
        for (int i = 3; i < argc; ++i)
            clients.push_back(
                Profile{.id = static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 10))});
        store.setClients(clients);
        NoWindow window;
        auto dispatch = std::make_shared<ManualDispatch>();
        auto controller = EngineController::create(store, dispatch, window, argv[1]);
        for (const Profile& client : clients) {
            controller->start(client.id);
            const auto& process = controller->runtime(client.id)->process;
            if (!process || !process->isRunning()) return 1;
            std::printf("%d\n", static_cast<int>(process->processIdentifier()));
        }
        std::fflush(stdout);
        for (;;) {
            controller->poll();
            dispatch->runMainUntil([] { return false; }, std::chrono::milliseconds(200));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "fake_panel: %s\n", error.what());
        return 1;
    }
}
