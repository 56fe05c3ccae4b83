// The log lines' way into a multi-line edit control: WriteLog (device/log.cpp) formats a
// line and hands it to the writer that AttachEditControl put in the sink.
#include "edit_control_log.h"

#include "log.h"

namespace {

void PutCaretAtEnd(HWND editWindow) {
    const LRESULT length = SendMessageA(editWindow, WM_GETTEXTLENGTH, 0, 0);
    SendMessageA(editWindow, EM_SETSEL, static_cast<WPARAM>(length), length);
}

bool HoldsText(HWND editWindow) { return SendMessageA(editWindow, WM_GETTEXTLENGTH, 0, 0) != 0; }

void ReplaceSelection(HWND editWindow, const char* text) {
    // wParam FALSE: the insertion cannot be undone.
    SendMessageA(editWindow, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
}

}  // namespace

void AppendEditText(HWND editWindow, const char* text, int lineBreaks, bool clearFirst) {
    if (editWindow == nullptr || text == nullptr) return;
    if (clearFirst) SetWindowTextA(editWindow, "");
    PutCaretAtEnd(editWindow);
    if (HoldsText(editWindow)) {
        for (int i = 0; i < lineBreaks; ++i) AppendEditText(editWindow, "\r\n", 0, false);
    }
    ReplaceSelection(editWindow, text);
}

namespace {

void WriteLogLineToEditControl(void* editWindow, const char* line) {
    HWND edit = static_cast<HWND>(editWindow);
    if (edit == nullptr || line == nullptr) return;
    PutCaretAtEnd(edit);
    if (HoldsText(edit)) AppendEditText(edit, "\r\n", 0, false);
    ReplaceSelection(edit, line);
}

}  // namespace

void AttachEditControl(LogSink* sink, HWND editWindow) {
    if (sink == nullptr) return;
    sink->editWindow = editWindow;
    sink->editWriter = WriteLogLineToEditControl;
}
