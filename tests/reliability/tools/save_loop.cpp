// A panel that does nothing but save: it opens the store in the given directory and writes the
// known documents in turn, forever, until it is killed.
#include <unistd.h>

#include <cstdio>
#include <exception>

#include "known_documents.h"
#include "model/panel_store.h"

using namespace vornisel;

namespace {

int saveForever(PanelStore& store) {
    const auto& documents = test::knownDocuments();
    // One byte on standard output tells the test that saving has begun.
    if (::write(STDOUT_FILENO, "r", 1) != 1) return 1;
    for (size_t i = 1;; ++i) {
        store.document = documents[i % documents.size()];
        store.save();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: save_loop DIR\n");
        return 2;
    }
    try {
        PanelStore store(argv[1]);
        return saveForever(store);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "save_loop: %s\n", error.what());
        return 1;
    }
}
