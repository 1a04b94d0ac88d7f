#include "privileges.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace vornisel::server {

bool dropRoot(const std::string& user, std::string& error) {
    if (geteuid() != 0) return true;
    const passwd* entry = getpwnam(user.c_str());
    if (entry == nullptr || entry->pw_uid == 0) {
        error = "started as root, and there is no ordinary user \"" + user + "\" to become";
        return false;
    }
    const uid_t uid = entry->pw_uid;
    const gid_t gid = entry->pw_gid;
    if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0 || setuid(0) == 0) {
        error = "could not stop being root";
        return false;
    }
    return true;
}

}  // namespace vornisel::server
