// The edit-control side of the diagnostic log (Windows only).
#pragma once
#include <windows.h>

// Appends text at the end of an edit control: clears it first when clearFirst is set,
// then puts lineBreaks CR LF pairs before the text, but only when the control holds
// text at that moment. A negative count counts as 0.
void AppendEditText(HWND editWindow, const char* text, int lineBreaks, bool clearFirst);
