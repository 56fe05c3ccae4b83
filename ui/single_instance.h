// One updater at a time (Windows only): a second start hands over to the first one's
// dialog instead of fighting it for the port.
#pragma once

// True when this process is the only updater running; it then holds the mark for the
// rest of its life. False when another instance runs: its dialog (or the message box or
// picker in front of it) has been brought to the front, as far as it could be found, and
// this process should end.
bool ClaimSingleInstance();
