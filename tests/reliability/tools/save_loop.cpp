// A panel that does nothing but save: it opens the store in the given directory and writes
// documents of 0, 8 and 16 devices in turn, forever, until it is killed, so that a kill can land
// in any part of a small or a large write.
#include <cstdio>
#include <exception>

#include "model/panel_store.h"

using namespace vornisel;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: save_loop DIR\n");
        return 2;
    }
    try {
        PanelStore store(argv[1]);
        for (uint32_t i = 1;; ++i) {
            store.clients().assign(i % 3 * 8, Profile{.id = i, .name = std::string(600, 'x')});
            store.save();
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "save_loop: %s\n", error.what());
        return 1;
    }
}
