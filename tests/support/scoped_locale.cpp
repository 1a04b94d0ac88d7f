#include "support/scoped_locale.h"

#include <clocale>
#include <stdexcept>

namespace vornisel::test {

ScopedLocale::ScopedLocale(const char* name) : previousC_(std::setlocale(LC_ALL, nullptr)) {
    try {
        // A named C++ locale made global also sets the C locale.
        previousCpp_ = std::locale::global(std::locale(name));
        active_ = true;
    } catch (const std::runtime_error&) {
    }
}

ScopedLocale::~ScopedLocale() {
    if (!active_) return;
    std::locale::global(previousCpp_);
    std::setlocale(LC_ALL, previousC_.c_str());
}

}  // namespace vornisel::test
