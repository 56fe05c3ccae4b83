// Permission help on Linux: serial devices belong to a group (dialout, uucp, ...), and a
// user in that group may open them once logged in again.
#include <grp.h>
#include <sys/stat.h>

#include <cerrno>

#include "port_access.h"

std::string PortPermissionHint(const std::string& device, uint32_t osError) {
    if (osError != EACCES && osError != EPERM) return "";
    struct stat status {};
    if (stat(device.c_str(), &status) != 0) return "";
    // Joining the group helps only where the group may read and write, and never ask
    // anyone to join root's group.
    const bool groupMayUse = (status.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (!groupMayUse || status.st_gid == 0)
        return "only its owner may open it; ask the administrator to give the port to a group such as dialout";
    const struct group* owner = getgrgid(status.st_gid);
    const std::string group = owner != nullptr ? owner->gr_name : std::to_string(status.st_gid);
    return "the port belongs to the group " + group + ": sudo usermod -aG " + group +
           " $USER, then log in again";
}
