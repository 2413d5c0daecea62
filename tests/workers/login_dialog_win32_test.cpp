// The Win32 login dialog, shown by the DLL's Login and driven from a second thread by window
// messages, as a user's clicks and keys would arrive.
#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
// clang-format on

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "CZNWorker.h"
#include "tests/support/sandbox_fixture.h"

namespace {

constexpr int kUserNameEdit = 1006;
constexpr int kPasswordEdit = 1007;
constexpr char kTitle[] = "Payroll sign-in";

// A top-level dialog with this caption once it is visible; null after five seconds.
HWND WaitForDialog(const char* caption) {
    for (int i = 0; i < 250; ++i) {
        HWND window = FindWindowA("#32770", caption);
        if (window != nullptr && IsWindowVisible(window)) return window;
        Sleep(20);
    }
    return nullptr;
}

void WaitUntilGone(HWND window) {
    for (int i = 0; i < 250 && IsWindow(window); ++i) Sleep(20);
}

std::string Text(HWND window) {
    char buffer[512] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

std::string ItemText(HWND dialog, int id) {
    return Text(GetDlgItem(dialog, id));
}

// The message box's text: its one static control that holds text.
std::string MessageBoxText(HWND box) {
    std::string found;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM out) -> BOOL {
            char kind[32] = {};
            GetClassNameA(child, kind, sizeof kind);
            std::string text = Text(child);
            if (lstrcmpiA(kind, "Static") == 0 && !text.empty()) {
                *reinterpret_cast<std::string*>(out) = text;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void Press(HWND window, int id) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

// Answers the retry question and returns its text.
std::string AnswerRetry(bool yes) {
    HWND box = WaitForDialog("Authentication Error");
    if (box == nullptr) return "(no question)";
    std::string text = MessageBoxText(box);
    Press(box, yes ? IDYES : IDNO);
    WaitUntilGone(box);
    return text;
}

HWND FocusOf(DWORD thread) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

bool WholeTextSelected(HWND edit) {
    DWORD start = 0;
    DWORD end = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    return start == 0 && end == static_cast<DWORD>(GetWindowTextLengthA(edit));
}

// The dialog as drawn, as a 24-bit BMP file: the screenshot kept beside the build.
bool SaveScreenshot(HWND dialog, const std::string& path) {
    RECT frame{};
    GetWindowRect(dialog, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    const bool copied =
        BitBlt(memory, 0, 0, width, height, screen, frame.left, frame.top, SRCCOPY) != 0;
    GdiFlush();
    const DWORD row = static_cast<DWORD>((width * 3 + 3) & ~3);
    const DWORD size = row * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + size;
    bool written = false;
    if (copied && bits != nullptr) {
        if (FILE* out = std::fopen(path.c_str(), "wb")) {
            written = std::fwrite(&file, sizeof file, 1, out) == 1 &&
                      std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
                      std::fwrite(bits, size, 1, out) == 1;
            written = std::fclose(out) == 0 && written;
        }
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return written;
}

// Reads a dialog template resource as it is stored: little-endian words, strings of UTF-16
// units ended by 0, items aligned on four bytes.
class TemplateReader {
  public:
    TemplateReader(const BYTE* data, DWORD size) : m_data(data), m_size(size) {}
    DWORD Dword() {
        DWORD low = Word();
        return low | static_cast<DWORD>(Word()) << 16;
    }
    WORD Word() {
        if (m_at + 2 > m_size) {
            m_overrun = true;
            return 0;
        }
        WORD value = static_cast<WORD>(m_data[m_at] | m_data[m_at + 1] << 8);
        m_at += 2;
        return value;
    }
    short Short() { return static_cast<short>(Word()); }
    // A string, or "#n" for an ordinal (0xFFFF followed by n).
    std::string Text() {
        WORD first = Word();
        if (first == 0xFFFF) return "#" + std::to_string(Word());
        std::string text;
        for (WORD unit = first; unit != 0 && !m_overrun; unit = Word()) {
            text += static_cast<char>(unit);
        }
        return text;
    }
    void AlignToDword() { m_at = (m_at + 3) & ~static_cast<DWORD>(3); }
    bool Overrun() const { return m_overrun; }

  private:
    const BYTE* m_data;
    DWORD m_size;
    DWORD m_at = 0;
    bool m_overrun = false;
};

TEST(LoginTemplate, TheDllCarriesDialog102AsDrawnUp) {
    HMODULE library = GetModuleHandleA("zngroups.dll");
    ASSERT_NE(library, nullptr);
    HRSRC found =
        FindResourceExA(library, reinterpret_cast<LPCSTR>(RT_DIALOG), MAKEINTRESOURCEA(102),
                        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(found, nullptr);
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(library, found)));
    ASSERT_NE(data, nullptr);
    TemplateReader in(data, SizeofResource(library, found));
    EXPECT_EQ(in.Dword(), static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME |
                                             DS_CENTER | DS_SETFONT));
    EXPECT_EQ(in.Dword(), 0u);  // extended styles
    const WORD count = in.Word();
    EXPECT_EQ(count, 6);
    EXPECT_EQ(in.Short(), 0);
    EXPECT_EQ(in.Short(), 0);
    EXPECT_EQ(in.Short(), 186);
    EXPECT_EQ(in.Short(), 69);
    EXPECT_EQ(in.Text(), "");  // no menu
    EXPECT_EQ(in.Text(), "");  // the standard dialog class
    EXPECT_EQ(in.Text(), "ZN Groups Authentication");
    EXPECT_EQ(in.Word(), 8);
    EXPECT_EQ(in.Text(), "Microsoft Sans Serif");
    struct Item {
        DWORD style;
        short x, y, cx, cy;
        WORD id;
        const char* kind;  // the predefined classes by their ordinals
        const char* text;
    };
    const DWORD child = WS_CHILD | WS_VISIBLE;
    const Item items[] = {
        {child | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 15, 110, 14, 1006, "#129", ""},
        {child | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_PASSWORD, 7, 40, 110, 15, 1007,
         "#129", ""},
        {child | WS_TABSTOP | BS_DEFPUSHBUTTON, 129, 7, 50, 14, IDOK, "#128", "OK"},
        {child | WS_TABSTOP | BS_PUSHBUTTON, 129, 24, 50, 14, IDCANCEL, "#128", "Cancel"},
        {child | WS_GROUP | SS_LEFT, 7, 7, 59, 8, 1008, "#130", "Username"},
        {child | WS_GROUP | SS_LEFT, 7, 32, 48, 8, 1009, "#130", "Password"},
    };
    for (WORD i = 0; i < count && i < 6; ++i) {
        SCOPED_TRACE(items[i].id);
        in.AlignToDword();
        EXPECT_EQ(in.Dword(), items[i].style);
        EXPECT_EQ(in.Dword(), 0u);
        EXPECT_EQ(in.Short(), items[i].x);
        EXPECT_EQ(in.Short(), items[i].y);
        EXPECT_EQ(in.Short(), items[i].cx);
        EXPECT_EQ(in.Short(), items[i].cy);
        EXPECT_EQ(in.Word(), items[i].id);
        EXPECT_EQ(in.Text(), items[i].kind);
        EXPECT_EQ(in.Text(), items[i].text);
        EXPECT_EQ(in.Word(), 0);  // no creation data
    }
    EXPECT_FALSE(in.Overrun());
}

class LoginDialog : public zntest::SandboxTest {
  protected:
    // Runs `drive` on a second thread while this thread is inside Login. A driver that
    // stopped half-way (a failed assertion) leaves the dialog open; it is then closed, so
    // that the failure is reported instead of hanging the suite.
    template <typename Drive>
    long LoginWhile(const CZNWorker& worker, Drive drive, const std::string* userName) {
        const DWORD dialogThread = GetCurrentThreadId();
        std::atomic<bool> ended{false};
        std::thread driver([&] {
            drive(dialogThread);
            for (int i = 0; i < 250 && !ended; ++i) Sleep(20);
            for (int i = 0; i < 100 && !ended; ++i) {
                if (HWND box = FindWindowA("#32770", "Authentication Error")) Press(box, IDNO);
                for (const char* caption : {kTitle, "ZN Groups Authentication"}) {
                    if (HWND dialog = FindWindowA("#32770", caption)) Press(dialog, IDCANCEL);
                }
                Sleep(50);
            }
        });
        long result = userName != nullptr ? worker.Login(kTitle, *userName) : worker.Login();
        ended = true;
        driver.join();
        return result;
    }
};

TEST_F(LoginDialog, OpensPrefilledOnlyOnceAndTheCloseBoxCancels) {
    CZNWorker worker;
    const std::string name = "jdoe";
    long second = 0;
    bool focusOnUserName = false;
    const long result = LoginWhile(
        worker,
        [&](DWORD dialogThread) {
            HWND dialog = WaitForDialog(kTitle);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(ItemText(dialog, kUserNameEdit), "jdoe");
            EXPECT_EQ(ItemText(dialog, kPasswordEdit), "");
            focusOnUserName = FocusOf(dialogThread) == GetDlgItem(dialog, kUserNameEdit);
            // The password's characters are hidden.
            EXPECT_NE(SendMessageA(GetDlgItem(dialog, kPasswordEdit), EM_GETPASSWORDCHAR, 0, 0), 0);
            // One dialog per process: a second Login while this one is open fails at once.
            CZNWorker other;
            second = other.Login("kdoe");
            Sleep(300);
            if (const char* path = std::getenv("ZNGROUPS_SCREENSHOT")) {
                EXPECT_TRUE(SaveScreenshot(dialog, path)) << path;
            }
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        },
        &name);
    // The first tab stop has the focus.
    EXPECT_TRUE(focusOnUserName);
    EXPECT_EQ(second, ERROR_BUSY);
    // The close box ends the dialog as Cancel does.
    EXPECT_EQ(result, 5);
    EXPECT_EQ(worker.GetErrorStatusCode(), 30000);
    EXPECT_EQ(worker.GetErrorStatusText(), "Username/Password combination is not valid.");
}

TEST_F(LoginDialog, FailuresAskToRetryAndKeepWhatWasTyped) {
    CZNWorker worker;
    const std::string name = "jdoe";
    std::vector<std::string> questions;
    bool focusOnUserName = false;
    bool focusOnPassword = false;
    bool passwordSelected = false;
    const long result = LoginWhile(
        worker,
        [&](DWORD dialogThread) {
            HWND dialog = WaitForDialog(kTitle);
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(ItemText(dialog, kUserNameEdit), "jdoe");
            SetDlgItemTextA(dialog, kUserNameEdit, "");
            SetDlgItemTextA(dialog, kPasswordEdit, "secret");
            Press(dialog, IDOK);
            questions.push_back(AnswerRetry(true));
            focusOnUserName = FocusOf(dialogThread) == GetDlgItem(dialog, kUserNameEdit);

            SetDlgItemTextA(dialog, kUserNameEdit, "cdoe");
            SetDlgItemTextA(dialog, kPasswordEdit, "");
            Press(dialog, IDOK);
            questions.push_back(AnswerRetry(true));

            // A wrong password asked again leaves it selected, ready to be typed over.
            SetDlgItemTextA(dialog, kPasswordEdit, "wrong");
            Press(dialog, IDOK);
            questions.push_back(AnswerRetry(true));
            focusOnPassword = FocusOf(dialogThread) == GetDlgItem(dialog, kPasswordEdit);
            passwordSelected = WholeTextSelected(GetDlgItem(dialog, kPasswordEdit));

            Press(dialog, IDOK);
            questions.push_back(AnswerRetry(false));
        },
        &name);
    ASSERT_EQ(questions.size(), 4u);
    EXPECT_EQ(questions[0], "No username entered. Retry ?");
    EXPECT_EQ(questions[1], "No password entered. Retry ?");
    EXPECT_EQ(questions[2], "Username/Password combination is not valid. Retry ?");
    EXPECT_EQ(questions[3], questions[2]);
    EXPECT_TRUE(focusOnUserName);
    EXPECT_TRUE(focusOnPassword);
    EXPECT_TRUE(passwordSelected);
    EXPECT_EQ(result, 5);
    EXPECT_EQ(worker.GetErrorStatusCode(), 30000);
    // The name typed into the dialog stays with the worker.
    EXPECT_EQ(worker.GetUserNameA(), "cdoe");
}

TEST_F(LoginDialog, TheRightPasswordSignsOnAndEscapeCancels) {
    CZNWorker worker;
    std::string prefill = "(unread)";
    const long result = LoginWhile(
        worker,
        [&](DWORD) {
            HWND dialog = WaitForDialog("ZN Groups Authentication");
            ASSERT_NE(dialog, nullptr);
            prefill = ItemText(dialog, kUserNameEdit);
            SetDlgItemTextA(dialog, kUserNameEdit, "jdoe");
            SetDlgItemTextA(dialog, kPasswordEdit, "secret");
            Press(dialog, IDOK);
        },
        nullptr);
    EXPECT_EQ(prefill, "");
    EXPECT_EQ(result, 1);
    EXPECT_EQ(worker.GetErrorStatusCode(), 1);
    EXPECT_EQ(worker.GetUserNameA(), "jdoe");

    CZNWorker escaped;
    const long cancelled = LoginWhile(
        escaped,
        [&](DWORD) {
            HWND dialog = WaitForDialog("ZN Groups Authentication");
            ASSERT_NE(dialog, nullptr);
            HWND edit = GetDlgItem(dialog, kUserNameEdit);
            PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 0);
        },
        nullptr);
    EXPECT_EQ(cancelled, 5);
    EXPECT_EQ(escaped.GetErrorStatusCode(), 30000);
}

}  // namespace
