// Win32 back end of the login dialog: template 102 of the library's own resources, shown
// modally with DialogBoxParamA, the retry question in a Yes/No message box.
#include "platform/login_ui.h"

#include <new>

#include "platform/win32/module_handle.h"

namespace zn::platform {
namespace {

constexpr int kLoginTemplate = 102;
constexpr int kUserNameEdit = 1006;
constexpr int kPasswordEdit = 1007;

// The dialog procedure has no other way to its model than a process-wide variable, which is
// why only one dialog may be open at a time; g_open guards it.
LoginDialogModel* g_model = nullptr;
volatile LONG g_open = 0;

// The edit's whole text. Throws std::bad_alloc when there is no memory for it.
std::string EditText(HWND dialog, int control) {
    HWND edit = GetDlgItem(dialog, control);
    const int length = GetWindowTextLengthA(edit);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    const int read = GetWindowTextA(edit, &text[0], static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(read > 0 ? read : 0));
    return text;
}

void FocusAndSelect(HWND dialog, int control) {
    HWND edit = GetDlgItem(dialog, control);
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
}

void OnOk(HWND dialog) {
    std::string question;
    LoginField focus = LoginField::kUserName;
    const char* ask = nullptr;
    int field = kUserNameEdit;
    try {
        const std::string userName = EditText(dialog, kUserNameEdit);
        field = kPasswordEdit;
        const std::string password = EditText(dialog, kPasswordEdit);
        if (g_model->Ok(userName, password, question, focus)) {
            EndDialog(dialog, g_model->EndValue());
            return;
        }
        ask = question.c_str();
        field = focus == LoginField::kUserName ? kUserNameEdit : kPasswordEdit;
    } catch (const std::bad_alloc&) {
        ask = g_model->OutOfMemory();
    }
    FocusAndSelect(dialog, field);
    const int answer =
        MessageBoxA(dialog, ask, kAuthenticationErrorCaption, MB_YESNO | MB_ICONQUESTION);
    if (g_model->Retry(answer == IDYES)) EndDialog(dialog, g_model->EndValue());
}

INT_PTR CALLBACK LoginProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        g_model = reinterpret_cast<LoginDialogModel*>(lParam);
        std::string caption;
        std::string userName;
        g_model->Create(caption, userName);
        SetWindowTextA(dialog, caption.c_str());
        SetDlgItemTextA(dialog, kUserNameEdit, userName.c_str());
        // The default focus: the user-name edit, the first control with a tab stop.
        return TRUE;
    }
    if (message == WM_COMMAND) {
        // Escape and the close box arrive as IDCANCEL too.
        if (LOWORD(wParam) == IDOK) {
            OnOk(dialog);
        } else if (LOWORD(wParam) == IDCANCEL) {
            g_model->Cancel();
            EndDialog(dialog, g_model->EndValue());
        }
    }
    return FALSE;
}

}  // namespace

int ShowLoginDialog(LoginDialogModel& model, long& lastError) {
    if (InterlockedCompareExchange(&g_open, 1, 0) != 0) {
        lastError = ERROR_BUSY;
        return -1;
    }
    const INT_PTR end = DialogBoxParamA(LibraryModule(), MAKEINTRESOURCEA(kLoginTemplate), nullptr,
                                        LoginProc, reinterpret_cast<LPARAM>(&model));
    // Read before anything else can change it. -1 is the failure to appear; 0, which
    // DialogBoxParamA returns for an unusable owner, passes on as an unexpected end.
    const DWORD error = GetLastError();
    g_model = nullptr;
    InterlockedExchange(&g_open, 0);
    if (end == -1) {
        lastError = static_cast<long>(error);
        return -1;
    }
    return static_cast<int>(end);
}

}  // namespace zn::platform
