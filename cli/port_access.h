// What to do about a port the system would not open for lack of permission.
#pragma once
#include <cstdint>
#include <string>

// For a permission refusal on device (the path the link opened): which group owns it and
// the command that adds the user to that group. Empty for any other error, and where the
// system has no such remedy.
std::string PortPermissionHint(const std::string& device, uint32_t osError);
