// The edit-control side of the diagnostic log (Windows only).
#pragma once
#include <windows.h>

#include "log.h"

// Makes the sink write each log line into the edit control: a line goes after the text
// already there, with CR LF between them.
void AttachEditControl(LogSink* sink, HWND editWindow);

// Appends text at the end of an edit control: clears it first when clearFirst is set,
// then puts lineBreaks CR LF pairs before the text, but only when the control holds
// text at that moment. A negative count counts as 0.
void AppendEditText(HWND editWindow, const char* text, int lineBreaks, bool clearFirst);
