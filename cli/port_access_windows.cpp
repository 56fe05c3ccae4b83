// Permission help on Windows: COM ports have no group to join, so there is no hint.
#include "port_access.h"

std::string PortPermissionHint(const std::string&, uint32_t) { return ""; }
