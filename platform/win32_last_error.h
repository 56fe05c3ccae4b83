// Shared by the Win32 serial and image-file layers: keeps the calling thread's
// GetLastError of a failed call for SerialLastError, before other calls overwrite it.
#pragma once

void RememberLastWin32Error();
