// Shared by the POSIX serial and image-file layers: keeps the calling thread's errno of a
// failed call for SerialLastError, before later calls (cleanup, logging) overwrite it.
#pragma once

void RememberPosixError(int error);
