#pragma once

#include <locale>
#include <string>

namespace vornisel::test {

// Makes `name` the process's C and C++ locale for the lifetime of the object, as a desktop
// session's environment does through the toolkit, and puts the previous ones back afterwards.
// Nothing changes when the locale is not installed (scripts/deps makes the ones the tests use).
class ScopedLocale {
public:
    explicit ScopedLocale(const char* name);
    ~ScopedLocale();
    ScopedLocale(const ScopedLocale&) = delete;
    ScopedLocale& operator=(const ScopedLocale&) = delete;

    // Whether the locale is in effect.
    explicit operator bool() const { return active_; }

private:
    bool active_ = false;
    std::string previousC_;
    std::locale previousCpp_;
};

}  // namespace vornisel::test
