// The updater window's Windows pieces against real controls (run under wine64 by the
// win64 preset): the edit-control log, CenterWindow, the progress-bar adapter and the
// worker procedure's completion message.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>

#include "collecting_log.h"
#include "device_link.h"
#include "edit_control_log.h"
#include "firmware_update_proc.h"
#include "log.h"
#include "window_utilities.h"

namespace {

std::string TextOf(HWND window) {
    const LRESULT length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        parent = CreateWindowExA(0, "STATIC", "test parent", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(parent, nullptr);
        // A log control scrolls; without ES_AUTOVSCROLL an edit refuses text that does not fit.
        edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL, 0, 0, 300, 200, parent, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(edit, nullptr);
    }
    void TearDown() override {
        if (parent != nullptr) DestroyWindow(parent);
    }

    HWND parent = nullptr;
    HWND edit = nullptr;
};

TEST_F(WindowTest, LogLinesAreSeparatedByCrLfWithNothingAfterTheLast) {
    LogSink sink;
    AttachEditControl(&sink, edit);
    WriteLog(&sink, "Quorvantis: %s", "first");
    WriteLog(&sink, "FirmwareUpdateProc completed with result: %i", -14);
    EXPECT_EQ(TextOf(edit), "Quorvantis: first\r\nFirmwareUpdateProc completed with result: -14");
}

TEST_F(WindowTest, LogWithoutSinkOrWindowLeavesTheControlAlone) {
    SetWindowTextA(edit, "kept");
    WriteLog(nullptr, "x");
    LogSink empty;
    WriteLog(&empty, "x");
    EXPECT_EQ(TextOf(edit), "kept");
}

TEST_F(WindowTest, LongLogLineReachesTheControlCutTo4095Characters) {
    // The control's default limit is smaller; lift it so the cut seen is the log's own.
    SendMessageA(edit, EM_SETLIMITTEXT, 0, 0);
    LogSink sink;
    AttachEditControl(&sink, edit);
    const std::string longLine(5000, 'q');
    WriteLog(&sink, "%s", longLine.c_str());
    const std::string text = TextOf(edit);
    EXPECT_EQ(text.size(), 4095u);
    EXPECT_EQ(text.find_first_not_of('q'), std::string::npos);
}

TEST_F(WindowTest, AppendEditTextPutsLineBreaksOnlyAfterExistingText) {
    struct Case {
        const char* before;
        const char* text;
        int lineBreaks;
        bool clearFirst;
        const char* after;
    };
    const Case cases[] = {
        {"", "alone", 3, false, "alone"},
        {"old", "new", 2, true, "new"},
        {"a", "b", 2, false, "a\r\n\r\nb"},
        {"a", "b", 0, false, "ab"},
        {"a", "b", -4, false, "ab"},  // a negative count counts as 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.before) + " + " + c.text);
        SetWindowTextA(edit, c.before);
        AppendEditText(edit, c.text, c.lineBreaks, c.clearFirst);
        EXPECT_EQ(TextOf(edit), c.after);
    }
}

TEST_F(WindowTest, CenterWindowCentresOnTheReferenceAndKeepsTheSize) {
    HWND reference = CreateWindowExA(0, "STATIC", "reference", WS_POPUP, -200, 100, 1024, 768, nullptr, nullptr,
                                     GetModuleHandleA(nullptr), nullptr);
    HWND window = CreateWindowExA(0, "STATIC", "window", WS_POPUP, 5, 5, 401, 261, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(reference, nullptr);
    ASSERT_NE(window, nullptr);
    CenterWindow(window, reference);
    RECT rect{};
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, -200 + 312);
    EXPECT_EQ(rect.top, 100 + 254);
    EXPECT_EQ(rect.right - rect.left, 401);
    EXPECT_EQ(rect.bottom - rect.top, 261);

    CenterWindow(window, nullptr);  // the desktop
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, desktop.left + (desktop.right - desktop.left) / 2 - 401 / 2);
    EXPECT_EQ(rect.top, desktop.top + (desktop.bottom - desktop.top) / 2 - 261 / 2);
    DestroyWindow(window);
    DestroyWindow(reference);
}

TEST_F(WindowTest, ProgressNotificationsDriveTheProgressBar) {
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | PBS_SMOOTH, 0, 0, 200, 10, parent, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(bar, nullptr);
    const ProgressTarget target = ProgressBarTarget(bar);
    NotifyProgress(&target, ProgressEvent::SetRange, 257);  // the most an image can need
    NotifyProgress(&target, ProgressEvent::SetStep, 1);
    NotifyProgress(&target, ProgressEvent::SetPos, 0);
    NotifyProgress(&target, ProgressEvent::StepIt, 0);
    NotifyProgress(&target, ProgressEvent::StepIt, 0);
    PBRANGE range{};
    SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 257);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 2);
    NotifyProgress(&target, ProgressEvent::SetPos, 0);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);

    const ProgressTarget none = ProgressBarTarget(nullptr);
    EXPECT_EQ(none.notify, nullptr);
}

// Receives the worker's completion message on this (the window's) thread.
struct Completion {
    bool received = false;
    WPARAM wParam = 99;
    LPARAM lParam = 0;
};
Completion completion;
constexpr UINT TEST_DONE = WM_APP;

LRESULT CALLBACK CompletionProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == TEST_DONE) {
        completion = Completion{true, wParam, lParam};
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}


TEST(FirmwareUpdateProcTest, LogsAndSendsTheResultThenReturns1) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = CompletionProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "UpdateCompletionTest";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "UpdateCompletionTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);

    // A link that identified no flashable unit: the upload refuses before any file or port.
    DeviceLink link;
    CollectingLog logged;
    link.logSink = &logged.sink;
    static UpdateRequest request{};
    request.link = &link;
    request.dialogWindow = window;
    request.completionMessage = TEST_DONE;
    request.progressBar = nullptr;
    lstrcpyA(request.imagePath, "C:\\no\\such.enc");

    completion = Completion{};
    HANDLE worker = CreateThread(nullptr, 0, FirmwareUpdateProc, &request, 0, nullptr);
    ASSERT_NE(worker, nullptr);
    // Pump until the worker's SendMessageA has been handled; bounded to catch a hang.
    const ULONGLONG deadline = GetTickCount64() + 20000;
    while (!completion.received && GetTickCount64() < deadline) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT | QS_SENDMESSAGE);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
    ASSERT_TRUE(completion.received) << "no completion message within 20 s";
    ASSERT_EQ(WaitForSingleObject(worker, 20000), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    GetExitCodeThread(worker, &exitCode);
    CloseHandle(worker);

    EXPECT_EQ(exitCode, 1u);
    EXPECT_EQ(completion.wParam, 0u);
    EXPECT_EQ(static_cast<ResultCode>(completion.lParam), RESULT_REFUSED);
    EXPECT_TRUE(logged.Contains("FirmwareUpdateProc completed with result: -3"));
    DestroyWindow(window);
}

}  // namespace
