#pragma once

#include <cstdio>
#include <string>

namespace vornisel {

// What the engine logic asks of the window. Called on the main thread only.
class WindowHooks {
public:
    virtual ~WindowHooks() = default;

    // Refresh the cards, buttons and menus from the runtimes.
    virtual void updateControls() = 0;
    // Show one line in the notice bar, in the warning or the information look.
    virtual void showNotice(const std::string& text, bool warning) = 0;
    // Recreate the device cards from the store.
    virtual void rebuildCards() = 0;
};

// The hooks of a controller run without a window (tools and benchmarks): there is nothing to
// refresh, and notices go to standard error.
class NoWindow : public WindowHooks {
public:
    void updateControls() override {}
    void showNotice(const std::string& text, bool) override {
        std::fprintf(stderr, "notice: %s\n", text.c_str());
    }
    void rebuildCards() override {}
};

}  // namespace vornisel
