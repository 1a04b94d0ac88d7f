#pragma once

#include <string>

namespace vornisel::server {

// The server needs no privilege: started as root it becomes `user` (after binding its socket),
// for good. Returns false with `error` set when that fails; does nothing for any other user.
bool dropRoot(const std::string& user, std::string& error);

}  // namespace vornisel::server
