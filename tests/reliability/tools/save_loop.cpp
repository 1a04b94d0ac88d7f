// A panel that does nothing but save: it opens the store in the given directory and writes the
// known documents in turn, forever, until it is killed. Told "--limit BYTES", it instead saves
// the largest document once under that file-size limit and prints the error it gets.
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

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

int saveUnderLimit(PanelStore& store, rlim_t bytes) {
    // Without this the kernel ends the process at the first byte past the limit.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 1;
    store.document = test::knownDocuments().back();
    try {
        store.save();
    } catch (const std::exception& error) {
        std::printf("%s\n", error.what());
        return 0;
    }
    return 3;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--limit")) {
        std::fprintf(stderr, "usage: save_loop DIR [--limit BYTES]\n");
        return 2;
    }
    try {
        PanelStore store(argv[1]);
        if (argc == 4) return saveUnderLimit(store, std::strtoull(argv[3], nullptr, 10));
        return saveForever(store);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "save_loop: %s\n", error.what());
        return 1;
    }
}
