// dialog_driver.exe: drives the updater dialog from outside, the way a user would, for the
// end-to-end tests that run it under wine.
//
// Each argument is one command line; with no argument, command lines are read from stdin
// until it ends (the test runner keeps one driver per scenario and talks to it that way).
// Every command answers with one line on stdout: "ok" or "ok VALUE", or "fail REASON".
// Texts in answers and arguments are escaped: backslash as "\\", line break as "\n",
// carriage return as "\r", tab as "\t". Waits are bounded polling loops (TIMEOUT in ms).
//
//   attach TIMEOUT                 wait for the visible dialog; answers its process id
//   text ID                        the text of a dialog control (WM_GETTEXT)
//   wait-text ID TIMEOUT TEXT      wait until that text equals TEXT
//   set-text ID TEXT               WM_SETTEXT to a control (TEXT may be empty)
//   caret-end ID                   put an edit control's caret after its last character
//                                  (a long path then shows its file name)
//   style ID                       the control's window style, in hex
//   enabled ID                     1 or 0
//   wait-enabled ID 0|1 TIMEOUT    wait for that enabled state
//   click ID                       BM_CLICK posted to a dialog button
//   command ID                     WM_COMMAND with that id posted to the dialog
//   key ID VK                      focus the control, post key down/up (VK in decimal)
//   close                          WM_CLOSE posted to the dialog
//   sys-close                      WM_SYSCOMMAND SC_CLOSE posted (the close box, Alt+F4)
//   progress                       "POS MAX" of the progress bar
//   watch-progress TIMEOUT         sample the progress bar until a message box shows:
//                                  "max=M distinct=D range=R samples=S"
//   wait-progress-done TIMEOUT     wait until the bar has moved and is back at 0 (the
//                                  upload's last step before its result is sent)
//   wait-msgbox TIMEOUT            wait for a message box of the program: "CAPTION<tab>TEXT"
//   msgbox-press ID                press a button of that box and wait until it is gone
//   msgbox-owner                   1 when that box is owned by the dialog, else 0
//   popup-count                    visible top-level dialogs of the program besides the dialog
//   wait-popup TIMEOUT TITLE       wait for another top-level dialog of the program by title
//   popup-set-text ID TEXT         WM_SETTEXT to a control of that window
//   popup-click ID                 BM_CLICK on a button of that window
//   wait-popup-gone TIMEOUT        wait until that window is gone
//   sync TIMEOUT                   wait until the dialog's thread has handled every message
//                                  posted to it so far
//   windows                        every top-level window of the program, one a line
//                                  ("CLASS visible=V enabled=E CAPTION"), for diagnosis
//   exists                         1 while the dialog window exists, else 0
//   query-end-session              sends WM_QUERYENDSESSION (a logoff): 1 accepted, 0 refused
//   take-foreground                shows a window of the driver's own and makes it the
//                                  foreground window (the dialog is then behind it)
//   foreground                     1 when the foreground window is the dialog or a window
//                                  it owns, else 0
//   count-dialogs                  visible windows captioned as the dialog, of any process
//   wait-gone TIMEOUT              wait until the dialog window is destroyed
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dialog_line_escape.h"

namespace {

const char kCaption[] = "Drusel Firmware Update Utility v1.0";
const char kDialogClass[] = "#32770";
const int kMessageTextId = 0xFFFF;   // the static that holds a message box's text
const UINT kSendTimeoutMs = 5000;    // a window that does not answer within this is hung
const DWORD kPollMs = 10;

struct Reply {
    bool ok;
    std::string value;
};

Reply Ok(const std::string& value = std::string()) { return {true, value}; }
Reply Fail(const std::string& reason) { return {false, reason}; }

std::string Escape(const std::string& text) { return EscapeDriverText(text); }
std::string Unescape(const std::string& text) { return UnescapeDriverText(text); }

// Splits off the first blank-separated word of *rest.
std::string NextWord(std::string* rest) {
    size_t start = rest->find_first_not_of(' ');
    if (start == std::string::npos) {
        rest->clear();
        return std::string();
    }
    size_t end = rest->find(' ', start);
    std::string word = rest->substr(start, end == std::string::npos ? std::string::npos : end - start);
    *rest = end == std::string::npos ? std::string() : rest->substr(end + 1);
    return word;
}

bool ParseInt(const std::string& word, long* value) {
    if (word.empty()) return false;
    char* end = nullptr;
    *value = std::strtol(word.c_str(), &end, 0);
    return end != nullptr && *end == '\0';
}

// Polls `done` until it holds or `timeoutMs` has passed; true when it held.
template <typename Condition>
bool WaitFor(DWORD timeoutMs, Condition done) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return done();
        Sleep(kPollMs);  // polling another process's windows: there is no event to wait on
    }
}

bool SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                               result != nullptr ? result : &ignored) != 0;
}

bool ReadText(HWND window, std::string* text) {
    DWORD_PTR length = 0;
    if (!SendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0, &length)) return false;
    std::vector<char> buffer(length + 2, '\0');
    DWORD_PTR copied = 0;
    if (!SendWithTimeout(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                         &copied)) {
        return false;
    }
    text->assign(buffer.data(), copied);
    return true;
}

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

DWORD ProcessOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

struct TopLevel {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context) {
    TopLevel* all = reinterpret_cast<TopLevel*>(context);
    if (ProcessOf(window) == all->pid) all->found.push_back(window);
    return TRUE;
}

struct Popups {
    DWORD pid;
    HWND exclude;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectPopup(HWND window, LPARAM context) {
    Popups* popups = reinterpret_cast<Popups*>(context);
    if (window != popups->exclude && IsWindowVisible(window) && ProcessOf(window) == popups->pid &&
        ClassOf(window) == kDialogClass) {
        popups->found.push_back(window);
    }
    return TRUE;
}

// Visible top-level dialogs of process `pid` other than `exclude`.
std::vector<HWND> PopupsOf(DWORD pid, HWND exclude) {
    Popups popups{pid, exclude, {}};
    EnumWindows(CollectPopup, reinterpret_cast<LPARAM>(&popups));
    return popups.found;
}

class Driver {
public:
    Reply Run(const std::string& line) {
        std::string rest = line;
        std::string name = NextWord(&rest);
        if (name == "attach") return Attach(rest);
        if (name.empty()) return Fail("empty command");
        if (dialog_ == nullptr) return Fail("not attached: run attach first");
        if (name == "text") return Text(rest);
        if (name == "wait-text") return WaitText(rest);
        if (name == "set-text") return SetText(dialog_, rest);
        if (name == "caret-end") return CaretEnd(rest);
        if (name == "style") return Style(rest);
        if (name == "enabled") return Enabled(rest);
        if (name == "wait-enabled") return WaitEnabled(rest);
        if (name == "click") return Click(dialog_, rest);
        if (name == "command") return Command(rest);
        if (name == "key") return Key(rest);
        if (name == "close") return Post(dialog_, WM_CLOSE, 0, 0);
        if (name == "sys-close") return Post(dialog_, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (name == "progress") return Progress();
        if (name == "watch-progress") return WatchProgress(rest);
        if (name == "wait-msgbox") return WaitMessageBox(rest);
        if (name == "msgbox-press") return PressInMessageBox(rest);
        if (name == "wait-popup") return WaitPopup(rest);
        if (name == "popup-set-text") return SetText(popup_, rest);
        if (name == "popup-click") return Click(popup_, rest);
        if (name == "wait-popup-gone") return WaitPopupGone(rest);
        if (name == "sync") return Sync(rest);
        if (name == "windows") return Windows();
        if (name == "exists") return Ok(IsWindow(dialog_) ? "1" : "0");
        if (name == "wait-progress-done") return WaitProgressDone(rest);
        if (name == "msgbox-owner") return MessageBoxOwner();
        if (name == "popup-count") return Ok(std::to_string(PopupsOf(pid_, dialog_).size()));
        if (name == "query-end-session") return QueryEndSession();
        if (name == "take-foreground") return TakeForeground();
        if (name == "foreground") return Foreground();
        if (name == "count-dialogs") return CountDialogs();
        if (name == "wait-gone") return WaitGone(rest);
        return Fail("unknown command: " + name);
    }

private:
    HWND dialog_ = nullptr;
    DWORD pid_ = 0;
    HWND popup_ = nullptr;
    HWND messageBox_ = nullptr;
    HWND cover_ = nullptr;

    Reply Attach(std::string rest) {
        long timeout = 0;
        if (!ParseInt(NextWord(&rest), &timeout)) return Fail("usage: attach TIMEOUT");
        HWND found = nullptr;
        bool seen = WaitFor(static_cast<DWORD>(timeout), [&] {
            found = FindWindowA(kDialogClass, kCaption);
            return found != nullptr && IsWindowVisible(found);
        });
        if (!seen) return Fail("no visible dialog captioned \"" + std::string(kCaption) + "\"");
        dialog_ = found;
        pid_ = ProcessOf(found);
        popup_ = nullptr;
        messageBox_ = nullptr;
        return Ok(std::to_string(pid_));
    }

    bool Control(std::string* rest, HWND* control, HWND parent = nullptr) {
        long id = 0;
        if (!ParseInt(NextWord(rest), &id)) return false;
        *control = GetDlgItem(parent != nullptr ? parent : dialog_, static_cast<int>(id));
        return *control != nullptr;
    }

    Reply Text(std::string rest) {
        HWND control = nullptr;
        if (!Control(&rest, &control)) return Fail("no such control");
        std::string text;
        if (!ReadText(control, &text)) return Fail("WM_GETTEXT did not answer");
        return Ok(Escape(text));
    }

    Reply WaitText(std::string rest) {
        HWND control = nullptr;
        if (!Control(&rest, &control)) return Fail("no such control");
        long timeout = 0;
        if (!ParseInt(NextWord(&rest), &timeout)) return Fail("usage: wait-text ID TIMEOUT TEXT");
        std::string wanted = Unescape(rest);
        std::string text;
        bool seen = WaitFor(static_cast<DWORD>(timeout), [&] { return ReadText(control, &text) && text == wanted; });
        if (!seen) return Fail("text stayed \"" + Escape(text) + "\"");
        return Ok();
    }

    Reply SetText(HWND window, std::string rest) {
        if (window == nullptr || !IsWindow(window)) return Fail("no window");
        HWND control = nullptr;
        if (!Control(&rest, &control, window)) return Fail("no such control");
        std::string text = Unescape(rest);
        DWORD_PTR result = 0;
        if (!SendWithTimeout(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &result)) {
            return Fail("WM_SETTEXT did not answer");
        }
        return Ok();
    }

    Reply CaretEnd(std::string rest) {
        HWND control = nullptr;
        if (!Control(&rest, &control)) return Fail("no such control");
        DWORD_PTR length = 0;
        if (!SendWithTimeout(control, WM_GETTEXTLENGTH, 0, 0, &length) ||
            !SendWithTimeout(control, EM_SETSEL, length, static_cast<LPARAM>(length), nullptr) ||
            !SendWithTimeout(control, EM_SCROLLCARET, 0, 0, nullptr)) {
            return Fail("the edit control did not answer");
        }
        return Ok();
    }

    Reply Style(std::string rest) {
        HWND control = nullptr;
        if (!Control(&rest, &control)) return Fail("no such control");
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08lX", static_cast<unsigned long>(GetWindowLongA(control, GWL_STYLE)));
        return Ok(hex);
    }

    Reply Enabled(std::string rest) {
        HWND control = nullptr;
        if (!Control(&rest, &control)) return Fail("no such control");
        return Ok(IsWindowEnabled(control) ? "1" : "0");
    }

    Reply WaitEnabled(std::string rest) {
        HWND control = nullptr;
        if (!Control(&rest, &control)) return Fail("no such control");
        long wanted = 0, timeout = 0;
        if (!ParseInt(NextWord(&rest), &wanted) || !ParseInt(NextWord(&rest), &timeout)) {
            return Fail("usage: wait-enabled ID 0|1 TIMEOUT");
        }
        bool seen = WaitFor(static_cast<DWORD>(timeout),
                            [&] { return (IsWindowEnabled(control) != FALSE) == (wanted != 0); });
        return seen ? Ok() : Fail("enabled state did not become " + std::to_string(wanted));
    }

    Reply Click(HWND window, std::string rest) {
        if (window == nullptr || !IsWindow(window)) return Fail("no window");
        HWND control = nullptr;
        if (!Control(&rest, &control, window)) return Fail("no such control");
        return Post(control, BM_CLICK, 0, 0);
    }

    Reply Command(std::string rest) {
        long id = 0;
        if (!ParseInt(NextWord(&rest), &id)) return Fail("usage: command ID");
        HWND control = GetDlgItem(dialog_, static_cast<int>(id));
        return Post(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    }

    // The dialog manager reads keys from the queue of the modal loop (IsDialogMessage), so a
    // posted key down on a focused control is handled like a typed one.
    Reply Key(std::string rest) {
        HWND control = nullptr;
        if (!Control(&rest, &control)) return Fail("no such control");
        long vk = 0;
        if (!ParseInt(NextWord(&rest), &vk)) return Fail("usage: key ID VK");
        if (!SendWithTimeout(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE, nullptr)) {
            return Fail("WM_NEXTDLGCTL did not answer");
        }
        UINT scan = MapVirtualKeyA(static_cast<UINT>(vk), MAPVK_VK_TO_VSC);
        LPARAM down = 1 | (static_cast<LPARAM>(scan) << 16);
        LPARAM up = down | (LPARAM{1} << 30) | (LPARAM{1} << 31);
        Reply posted = Post(control, WM_KEYDOWN, static_cast<WPARAM>(vk), down);
        if (!posted.ok) return posted;
        return Post(control, WM_KEYUP, static_cast<WPARAM>(vk), up);
    }

    Reply Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (!PostMessageA(window, message, wParam, lParam)) {
            return Fail("PostMessage failed with error " + std::to_string(GetLastError()));
        }
        return Ok();
    }

    HWND ProgressBar() const { return GetDlgItem(dialog_, 2777); }

    Reply Progress() {
        HWND bar = ProgressBar();
        if (bar == nullptr) return Fail("no progress bar");
        DWORD_PTR position = 0, maximum = 0;
        if (!SendWithTimeout(bar, PBM_GETPOS, 0, 0, &position) ||
            !SendWithTimeout(bar, PBM_GETRANGE, FALSE, 0, &maximum)) {
            return Fail("progress bar did not answer");
        }
        return Ok(std::to_string(position) + " " + std::to_string(maximum));
    }

    Reply WatchProgress(std::string rest) {
        long timeout = 0;
        if (!ParseInt(NextWord(&rest), &timeout)) return Fail("usage: watch-progress TIMEOUT");
        HWND bar = ProgressBar();
        if (bar == nullptr) return Fail("no progress bar");
        std::vector<DWORD_PTR> distinct;
        DWORD_PTR highest = 0, range = 0;
        long samples = 0;
        bool boxShown = WaitFor(static_cast<DWORD>(timeout), [&] {
            DWORD_PTR position = 0, maximum = 0;
            if (SendWithTimeout(bar, PBM_GETPOS, 0, 0, &position) &&
                SendWithTimeout(bar, PBM_GETRANGE, FALSE, 0, &maximum)) {
                ++samples;
                if (distinct.empty() || distinct.back() != position) distinct.push_back(position);
                if (position > highest) highest = position;
                if (maximum > range) range = maximum;
            }
            return !PopupsOf(pid_, dialog_).empty();
        });
        if (!boxShown) return Fail("no message box within the time-out");
        return Ok("max=" + std::to_string(highest) + " distinct=" + std::to_string(distinct.size()) +
                  " range=" + std::to_string(range) + " samples=" + std::to_string(samples));
    }

    Reply WaitProgressDone(std::string rest) {
        long timeout = 0;
        if (!ParseInt(NextWord(&rest), &timeout)) return Fail("usage: wait-progress-done TIMEOUT");
        HWND bar = ProgressBar();
        if (bar == nullptr) return Fail("no progress bar");
        bool moved = false;
        DWORD_PTR position = 0;
        bool done = WaitFor(static_cast<DWORD>(timeout), [&] {
            if (!SendWithTimeout(bar, PBM_GETPOS, 0, 0, &position)) return false;
            if (position > 0) moved = true;
            return moved && position == 0;
        });
        if (!done) return Fail(moved ? "the bar did not go back to 0" : "the bar never moved");
        return Ok();
    }

    Reply MessageBoxOwner() {
        if (messageBox_ == nullptr || !IsWindow(messageBox_)) return Fail("no message box: run wait-msgbox first");
        return Ok(GetWindow(messageBox_, GW_OWNER) == dialog_ ? "1" : "0");
    }

    Reply QueryEndSession() {
        DWORD_PTR answer = 0;
        if (!SendWithTimeout(dialog_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, &answer)) {
            return Fail("WM_QUERYENDSESSION did not answer");
        }
        return Ok(answer != 0 ? "1" : "0");
    }

    Reply TakeForeground() {
        if (cover_ == nullptr) {
            cover_ = CreateWindowExA(0, "STATIC", "driver cover", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                     nullptr, GetModuleHandleA(nullptr), nullptr);
            if (cover_ == nullptr) return Fail("cannot create a window: error " + std::to_string(GetLastError()));
        }
        SetForegroundWindow(cover_);
        if (GetForegroundWindow() != cover_) return Fail("the driver's window did not become the foreground");
        return Ok();
    }

    Reply Foreground() {
        HWND front = GetForegroundWindow();
        for (HWND w = front; w != nullptr; w = GetWindow(w, GW_OWNER)) {
            if (w == dialog_) return Ok("1");
        }
        return Ok("0");
    }

    Reply CountDialogs() {
        int count = 0;
        for (HWND w = FindWindowExA(nullptr, nullptr, kDialogClass, kCaption); w != nullptr;
             w = FindWindowExA(nullptr, w, kDialogClass, kCaption)) {
            if (IsWindowVisible(w)) ++count;
        }
        return Ok(std::to_string(count));
    }

    Reply WaitMessageBox(std::string rest) {
        long timeout = 0;
        if (!ParseInt(NextWord(&rest), &timeout)) return Fail("usage: wait-msgbox TIMEOUT");
        HWND box = nullptr;
        bool seen = WaitFor(static_cast<DWORD>(timeout), [&] {
            for (HWND candidate : PopupsOf(pid_, dialog_)) {
                if (candidate != popup_ && GetDlgItem(candidate, kMessageTextId) != nullptr) {
                    box = candidate;
                    return true;
                }
            }
            return false;
        });
        if (!seen) return Fail("no message box within the time-out");
        messageBox_ = box;
        std::string caption, text;
        if (!ReadText(box, &caption) || !ReadText(GetDlgItem(box, kMessageTextId), &text)) {
            return Fail("message box did not answer");
        }
        return Ok(Escape(caption) + "\t" + Escape(text));
    }

    Reply PressInMessageBox(std::string rest) {
        if (messageBox_ == nullptr || !IsWindow(messageBox_)) return Fail("no message box: run wait-msgbox first");
        HWND button = nullptr;
        if (!Control(&rest, &button, messageBox_)) return Fail("no such button in the message box");
        Reply posted = Post(button, BM_CLICK, 0, 0);
        if (!posted.ok) return posted;
        HWND box = messageBox_;
        if (!WaitFor(kSendTimeoutMs, [&] { return !IsWindow(box); })) return Fail("message box stayed open");
        messageBox_ = nullptr;
        return Ok();
    }

    Reply WaitPopup(std::string rest) {
        long timeout = 0;
        if (!ParseInt(NextWord(&rest), &timeout)) return Fail("usage: wait-popup TIMEOUT TITLE");
        std::string title = Unescape(rest);
        HWND found = nullptr;
        bool seen = WaitFor(static_cast<DWORD>(timeout), [&] {
            for (HWND candidate : PopupsOf(pid_, dialog_)) {
                std::string caption;
                if (ReadText(candidate, &caption) && caption == title) {
                    found = candidate;
                    return true;
                }
            }
            return false;
        });
        if (!seen) return Fail("no window titled \"" + Escape(title) + "\"");
        popup_ = found;
        return Ok();
    }

    Reply WaitPopupGone(std::string rest) {
        long timeout = 0;
        if (!ParseInt(NextWord(&rest), &timeout)) return Fail("usage: wait-popup-gone TIMEOUT");
        HWND popup = popup_;
        if (!WaitFor(static_cast<DWORD>(timeout), [&] { return !IsWindow(popup); })) return Fail("window stayed open");
        popup_ = nullptr;
        return Ok();
    }

    // Posted messages of one thread are handled in order: once a marker posted now has taken
    // effect, everything posted before it has been handled. The marker is a text limit on
    // the path field, put back afterwards.
    Reply Sync(std::string rest) {
        long timeout = 0;
        if (!ParseInt(NextWord(&rest), &timeout)) return Fail("usage: sync TIMEOUT");
        HWND edit = GetDlgItem(dialog_, 2745);
        DWORD_PTR limit = 0;
        if (edit == nullptr || !SendWithTimeout(edit, EM_GETLIMITTEXT, 0, 0, &limit)) return Fail("no path field");
        const DWORD_PTR marker = limit == 4321 ? 4322 : 4321;
        Reply posted = Post(edit, EM_SETLIMITTEXT, marker, 0);
        if (!posted.ok) return posted;
        bool handled = WaitFor(static_cast<DWORD>(timeout), [&] {
            DWORD_PTR now = 0;
            return SendWithTimeout(edit, EM_GETLIMITTEXT, 0, 0, &now) && now == marker;
        });
        SendWithTimeout(edit, EM_SETLIMITTEXT, limit, 0, nullptr);
        return handled ? Ok() : Fail("the dialog did not handle its posted messages in time");
    }

    Reply Windows() {
        TopLevel all{pid_, {}};
        EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&all));
        std::string lines;
        for (HWND window : all.found) {
            std::string caption;
            char text[64] = {};
            GetWindowTextA(window, text, sizeof text);  // our own cache of the caption: never blocks
            caption = text;
            lines += ClassOf(window) + " visible=" + (IsWindowVisible(window) ? "1" : "0") +
                     " enabled=" + (IsWindowEnabled(window) ? "1" : "0") + " " + caption;
            std::string message;
            HWND messageText = GetDlgItem(window, kMessageTextId);
            if (messageText != nullptr && ReadText(messageText, &message)) lines += ": " + message;
            lines += "\n";
        }
        return Ok(Escape(lines));
    }

    Reply WaitGone(std::string rest) {
        long timeout = 0;
        if (!ParseInt(NextWord(&rest), &timeout)) return Fail("usage: wait-gone TIMEOUT");
        if (!WaitFor(static_cast<DWORD>(timeout), [&] { return !IsWindow(dialog_); })) return Fail("dialog stayed open");
        return Ok();
    }
};

void Answer(const Reply& reply) {
    if (reply.ok) {
        std::printf(reply.value.empty() ? "ok\n" : "ok %s\n", reply.value.c_str());
    } else {
        std::printf("fail %s\n", reply.value.c_str());
    }
    std::fflush(stdout);
}

std::string TrimLineEnd(std::string line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    Driver driver;
    if (argc > 1) {
        for (int i = 1; i < argc; ++i) {
            Reply reply = driver.Run(argv[i]);
            Answer(reply);
            if (!reply.ok) return 1;
        }
        return 0;
    }
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, stdin) != nullptr) {
        Answer(driver.Run(TrimLineEnd(buffer)));
    }
    return 0;
}
