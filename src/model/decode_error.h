#pragma once

#include <stdexcept>
#include <string>

namespace vornisel {

// A stored JSON file that cannot be read as the record it should hold. The text names the file
// and the member, e.g. "panel.json: settings.width is missing", so a person can fix the file.
class DecodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace vornisel
