#include "framework/CLCtrl.h"
#include "framework/CLDlg.h"
#include "framework/HandleTable.h"
#include "res/resource.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

HINSTANCE Instance() {
    return GetModuleHandleA(nullptr);
}

void* Failing_Reallocate(void*, std::size_t) {
    return nullptr;
}

bool Is_Dialog(HWND window) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    return lstrcmpA(className, "#32770") == 0;
}

BOOL CALLBACK Collect_Dialog(HWND window, LPARAM found) {
    if (Is_Dialog(window)) {
        reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
    }
    return TRUE;
}

// The dialog windows of this thread, oldest first.
std::vector<HWND> Thread_Dialogs() {
    std::vector<HWND> dialogs;
    EnumThreadWindows(GetCurrentThreadId(), &Collect_Dialog, reinterpret_cast<LPARAM>(&dialogs));
    std::reverse(dialogs.begin(), dialogs.end());
    return dialogs;
}

// Runs test steps from the timer of a hidden window, so they run inside
// whichever modal loop is current: one step per tick, each only once every
// dialog of the thread is on screen. A dialog still open after five seconds is
// ended with -2 and the test fails, so a broken close path cannot hang the run.
class ModalDriver {
public:
    using Step = std::function<void()>;

    explicit ModalDriver(std::vector<Step> steps) : steps_(std::move(steps)) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = &ModalDriver::Window_Proc;
        windowClass.hInstance = Instance();
        windowClass.lpszClassName = "TonariumTestDriver";
        RegisterClassA(&windowClass); // fails harmlessly once registered
        window_ = CreateWindowExA(0, "TonariumTestDriver", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  Instance(), nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetTimer(window_, 1, 10, nullptr);
        startTick_ = GetTickCount();
    }
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;
    ~ModalDriver() {
        KillTimer(window_, 1);
        DestroyWindow(window_);
        EXPECT_EQ(steps_.size(), nextStep_) << "the dialog closed before every step ran";
    }

private:
    static LRESULT CALLBACK Window_Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* driver = reinterpret_cast<ModalDriver*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == WM_TIMER && driver != nullptr) {
            driver->On_Tick();
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    void On_Tick() {
        if (running_) {
            return;
        }
        running_ = true;
        const std::vector<HWND> dialogs = Thread_Dialogs();
        if (GetTickCount() - startTick_ > 5000) {
            for (HWND dialog : dialogs) {
                ADD_FAILURE() << "a dialog was left open";
                EndDialog(dialog, -2);
            }
        } else if (nextStep_ < steps_.size() &&
                   std::all_of(dialogs.begin(), dialogs.end(), IsWindowVisible)) {
            steps_[nextStep_++]();
        }
        running_ = false;
    }

    std::vector<Step> steps_;
    std::size_t nextStep_ = 0;
    bool running_ = false;
    DWORD startTick_ = 0;
    HWND window_ = nullptr;
};

// The version box with every message that reaches the object written to a log
// that outlives the object. WM_APP runs a hook of the test.
class RecordingDlg : public CLDlg {
public:
    explicit RecordingDlg(std::vector<UINT>& log, HWND owner = nullptr)
        : CLDlg(owner, IDD_VERSION, Instance()), log_(log) {}

    std::function<void(RecordingDlg&)> onInit;
    std::function<void(RecordingDlg&)> onApp;
    HWND handleAtInit = nullptr;

protected:
    bool Dlg_Proc(UINT message, WPARAM wParam, LPARAM lParam) override {
        log_.push_back(message);
        switch (message) {
        case WM_INITDIALOG:
            handleAtInit = Get_Handle();
            if (onInit) {
                onInit(*this);
            }
            break;
        case WM_APP:
            if (onApp) {
                onApp(*this);
            }
            return true;
        default:
            break;
        }
        return CLDlg::Dlg_Proc(message, wParam, lParam);
    }

private:
    std::vector<UINT>& log_;
};

std::size_t Count_Of(const std::vector<UINT>& log, UINT message) {
    return static_cast<std::size_t>(std::count(log.begin(), log.end(), message));
}

void Post_Command(HWND dialog, WORD controlId, WORD notificationCode = 0) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, notificationCode), 0);
}

class DialogWrapperTest : public testing::Test {
protected:
    void TearDown() override { HandleTable::Set_Reallocator(nullptr); }
};

// Messages sent to dialog windows while a dialog is being created.
std::vector<std::pair<HWND, UINT>>* sentToDialogs = nullptr;

LRESULT CALLBACK Record_Sent(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sentToDialogs != nullptr && Is_Dialog(sent->hwnd)) {
        sentToDialogs->emplace_back(sent->hwnd, sent->message);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

TEST_F(DialogWrapperTest, MessagesBeforeInitDialogReachNoObject) {
    std::vector<std::pair<HWND, UINT>> sent;
    sentToDialogs = &sent;
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, &Record_Sent, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, hook);
    std::vector<UINT> log;
    RecordingDlg dialog(log);
    dialog.onInit = [](RecordingDlg& self) { Post_Command(self.Get_Handle(), IDOK); };
    EXPECT_EQ(1, dialog.Run_Modal());
    UnhookWindowsHookEx(hook);
    sentToDialogs = nullptr;

    // The dialog got WM_SETFONT (the template has DS_SETFONT) before WM_INITDIALOG...
    const auto font = std::find(sent.begin(), sent.end(),
                                std::make_pair(dialog.handleAtInit, static_cast<UINT>(WM_SETFONT)));
    const auto init =
        std::find(sent.begin(), sent.end(),
                  std::make_pair(dialog.handleAtInit, static_cast<UINT>(WM_INITDIALOG)));
    ASSERT_NE(sent.end(), font);
    ASSERT_NE(sent.end(), init);
    EXPECT_LT(font - sent.begin(), init - sent.begin());
    // ...but the object's first message is WM_INITDIALOG, with its handle already set.
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(static_cast<UINT>(WM_INITDIALOG), log.front());
    EXPECT_EQ(0u, Count_Of(log, WM_SETFONT));
    EXPECT_NE(nullptr, dialog.handleAtInit);

    // Without an object the answer is false, whatever the message.
    HWND unbound = GetDesktopWindow();
    EXPECT_EQ(FALSE, CLDlg::Dlg_ProcMain(unbound, WM_SETFONT, 0, 0));
    EXPECT_EQ(FALSE, CLDlg::Dlg_ProcMain(unbound, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0));
}

TEST_F(DialogWrapperTest, NestedDialogsKeepTheirOwnBindings) {
    std::vector<UINT> outerLog;
    std::vector<UINT> innerLog;
    RecordingDlg outer(outerLog);
    int innerResult = -3;
    bool innerBoundAfter = true;
    bool outerBoundAfter = false;
    outer.onInit = [](RecordingDlg& self) { PostMessageA(self.Get_Handle(), WM_APP, 0, 0); };
    outer.onApp = [&](RecordingDlg& self) {
        RecordingDlg inner(innerLog, self.Get_Handle());
        inner.onInit = [&](RecordingDlg& innerSelf) {
            // Both dialogs are in the table now; each finds its own object.
            SendMessageA(self.Get_Handle(), WM_APP + 1, 0, 0);
            Post_Command(innerSelf.Get_Handle(), IDOK);
        };
        innerResult = inner.Run_Modal();
        innerBoundAfter = inner.Bound();
        outerBoundAfter = self.Bound();
        SendMessageA(self.Get_Handle(), WM_APP + 2, 0, 0);
        Post_Command(self.Get_Handle(), IDCANCEL);
    };
    ModalDriver watchdog({});
    EXPECT_EQ(0, outer.Run_Modal());

    EXPECT_EQ(1, innerResult);
    EXPECT_FALSE(innerBoundAfter);
    EXPECT_TRUE(outerBoundAfter);
    EXPECT_EQ(1u, Count_Of(innerLog, WM_DESTROY));
    EXPECT_EQ(0u, Count_Of(innerLog, WM_APP + 1));
    EXPECT_EQ(1u, Count_Of(outerLog, WM_APP + 1));
    EXPECT_EQ(1u, Count_Of(outerLog, WM_APP + 2));
    EXPECT_EQ(1u, Count_Of(outerLog, WM_DESTROY));
    EXPECT_FALSE(outer.Bound());
}

TEST_F(DialogWrapperTest, EndedDialogIsUnboundKeepsItsHandleAndRunsAgain) {
    std::vector<UINT> log;
    RecordingDlg dialog(log);
    dialog.onInit = [](RecordingDlg& self) { Post_Command(self.Get_Handle(), IDOK); };
    EXPECT_EQ(1, dialog.Run_Modal());
    const HWND first = dialog.handleAtInit;
    EXPECT_FALSE(dialog.Bound());
    EXPECT_TRUE(dialog.Modal());
    EXPECT_EQ(first, dialog.Get_Handle());
    EXPECT_FALSE(IsWindow(first));
    // Nothing of the old dialog is left in the table.
    EXPECT_EQ(FALSE, CLDlg::Dlg_ProcMain(first, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0));

    EXPECT_EQ(1, dialog.Run_Modal());
    EXPECT_EQ(2u, Count_Of(log, WM_INITDIALOG));
    EXPECT_EQ(2u, Count_Of(log, WM_DESTROY));
    EXPECT_FALSE(dialog.Bound());
    EXPECT_EQ(dialog.handleAtInit, dialog.Get_Handle());
}

TEST_F(DialogWrapperTest, RunModalFailsWithoutInstanceOrTemplate) {
    CLDlg noInstance(nullptr, IDD_VERSION, nullptr);
    EXPECT_EQ(-1, noInstance.Run_Modal());
    EXPECT_TRUE(noInstance.Modal());
    EXPECT_FALSE(noInstance.Bound());
    CLDlg noTemplate(nullptr, 2999, Instance());
    EXPECT_EQ(-1, noTemplate.Run_Modal());
    EXPECT_FALSE(noTemplate.Bound());
    EXPECT_TRUE(Thread_Dialogs().empty());
}

TEST_F(DialogWrapperTest, RunModalWhileOpenShowsNothingAndGivesZero) {
    CLDlg dialog(nullptr, IDD_VERSION, Instance());
    int secondRun = -3;
    std::size_t openDialogs = 0;
    ModalDriver driver({[&] {
        secondRun = dialog.Run_Modal();
        openDialogs = Thread_Dialogs().size();
        Post_Command(dialog.Get_Handle(), IDOK);
    }});
    EXPECT_EQ(1, dialog.Run_Modal());
    EXPECT_EQ(0, secondRun);
    EXPECT_EQ(1u, openDialogs);
}

namespace {

struct CloseCase {
    const char* name;
    std::function<void(HWND)> close;
    int expected;
};

void PrintTo(const CloseCase& closeCase, std::ostream* out) {
    *out << closeCase.name;
}

class PlainDialogClose : public testing::TestWithParam<CloseCase> {};

} // namespace

TEST_P(PlainDialogClose, ReturnsTheResultOfTheWayItWasClosed) {
    CLDlg dialog(nullptr, IDD_VERSION, Instance());
    ModalDriver driver({[&] { GetParam().close(dialog.Get_Handle()); }});
    EXPECT_EQ(GetParam().expected, dialog.Run_Modal());
    EXPECT_FALSE(dialog.Bound());
}

INSTANTIATE_TEST_SUITE_P(
    DialogWrapper, PlainDialogClose,
    testing::Values(
        CloseCase{"OkButton",
                  [](HWND dialog) { SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0); }, 1},
        CloseCase{"OkCommand", [](HWND dialog) { Post_Command(dialog, IDOK); }, 1},
        CloseCase{"CancelCommand", [](HWND dialog) { Post_Command(dialog, IDCANCEL); }, 0},
        // Through the dialog manager, as a key press on the focused button.
        CloseCase{"EscapeKey",
                  [](HWND dialog) {
                      PostMessageA(GetDlgItem(dialog, IDOK), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
                  },
                  0},
        CloseCase{"CloseBox", [](HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); },
                  0},
        // Each command records its result; the first WM_CLOSE ends with the latest one.
        CloseCase{"OkThenCancel",
                  [](HWND dialog) {
                      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
                      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
                  },
                  0},
        CloseCase{"CancelThenOk",
                  [](HWND dialog) {
                      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
                      SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
                  },
                  1}),
    [](const testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

TEST_F(DialogWrapperTest, CommandWithNotificationCodeIsTakenButDoesNothing) {
    CLDlg dialog(nullptr, IDD_VERSION, Instance());
    INT_PTR okAnswer = FALSE;
    INT_PTR cancelAnswer = FALSE;
    bool openAfterwards = false;
    ModalDriver driver({[&] {
                            const HWND handle = dialog.Get_Handle();
                            okAnswer =
                                CLDlg::Dlg_ProcMain(handle, WM_COMMAND, MAKEWPARAM(IDOK, 1), 0);
                            cancelAnswer =
                                CLDlg::Dlg_ProcMain(handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, 1), 0);
                            Post_Command(handle, IDOK, 1); // and through the dialog manager
                        },
                        [&] {
                            // Anything posted has been handled by now: nothing closed it.
                            openAfterwards = IsWindowVisible(dialog.Get_Handle()) && dialog.Bound();
                            PostMessageA(dialog.Get_Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
                        }});
    // The close box ends it with the result set at WM_INITDIALOG, not with 1.
    EXPECT_EQ(0, dialog.Run_Modal());
    EXPECT_EQ(TRUE, okAnswer);
    EXPECT_EQ(TRUE, cancelAnswer);
    EXPECT_TRUE(openAfterwards);
}

TEST_F(DialogWrapperTest, ModelessDialogIgnoresCloseAndUnbindsWhenDestroyed) {
    CLDlg dialog(nullptr, IDD_VERSION, Instance());
    const HWND handle = CreateDialogParamA(Instance(), MAKEINTRESOURCEA(IDD_VERSION), nullptr,
                                           &CLDlg::Dlg_ProcMain, reinterpret_cast<LPARAM>(&dialog));
    ASSERT_NE(nullptr, handle);
    EXPECT_TRUE(dialog.Bound());
    EXPECT_FALSE(dialog.Modal());
    EXPECT_EQ(handle, dialog.Get_Handle());
    EXPECT_EQ(FALSE, CLDlg::Dlg_ProcMain(handle, WM_CLOSE, 0, 0));
    EXPECT_TRUE(IsWindow(handle));
    DestroyWindow(handle);
    EXPECT_FALSE(dialog.Bound());
    EXPECT_EQ(handle, dialog.Get_Handle());
}

TEST_F(DialogWrapperTest, DestroyedObjectLeavesItsDialogWithoutObject) {
    std::vector<UINT> log;
    std::optional<RecordingDlg> dialog(std::in_place, log);
    HWND handle = nullptr;
    std::size_t loggedBefore = 0;
    INT_PTR answerAfter = TRUE;
    bool stillThere = false;
    ModalDriver driver({[&] {
                            handle = dialog->Get_Handle();
                            loggedBefore = log.size();
                            dialog.reset();
                            stillThere = IsWindow(handle) && IsWindowVisible(handle);
                            answerAfter =
                                CLDlg::Dlg_ProcMain(handle, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
                            SendMessageA(handle, WM_APP, 0, 0);
                        },
                        [&] { EndDialog(handle, 5); }});
    // Run through a plain pointer: the object is gone when the loop returns.
    RecordingDlg* running = &*dialog;
    EXPECT_EQ(5, running->Run_Modal());
    EXPECT_TRUE(stillThere);
    EXPECT_EQ(FALSE, answerAfter);
    EXPECT_EQ(loggedBefore, log.size()); // nothing reached the dying or dead object
}

TEST_F(DialogWrapperTest, FullDialogTableLeavesTheDialogWithoutObject) {
    std::vector<UINT> log;
    RecordingDlg dialog(log);
    HandleTable::Set_Reallocator(&Failing_Reallocate);
    bool boundWhileOpen = true;
    ModalDriver driver({[&] {
        boundWhileOpen = dialog.Bound();
        const std::vector<HWND> open = Thread_Dialogs();
        ASSERT_EQ(1u, open.size());
        EndDialog(open.front(), 3);
    }});
    EXPECT_EQ(3, dialog.Run_Modal());
    EXPECT_FALSE(boundWhileOpen);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(nullptr, dialog.Get_Handle());
}

// ---- Control wrappers ----

namespace {

// What the control's own window procedure saw; kept in the window's user data.
struct OwnProcRecord {
    int appMessages = 0;
    bool ncDestroyed = false;
    LONG_PTR procAtNcDestroy = 0;
};

constexpr LRESULT ownAnswer = 42;

LRESULT CALLBACK Own_Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* record = reinterpret_cast<OwnProcRecord*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (record != nullptr) {
        switch (message) {
        case WM_APP:
            ++record->appMessages;
            return ownAnswer;
        case WM_NCDESTROY:
            record->ncDestroyed = true;
            record->procAtNcDestroy = GetWindowLongPtrA(window, GWLP_WNDPROC);
            break;
        default:
            break;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND Create_Control(OwnProcRecord& record) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = &Own_Proc;
    windowClass.hInstance = Instance();
    windowClass.lpszClassName = "TonariumTestControl";
    RegisterClassA(&windowClass); // fails harmlessly once registered
    HWND window = CreateWindowExA(0, "TonariumTestControl", "", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, Instance(), nullptr);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&record));
    return window;
}

LONG_PTR Proc_Of(HWND window) {
    return GetWindowLongPtrA(window, GWLP_WNDPROC);
}
LONG_PTR Address_Of(WNDPROC proc) {
    return reinterpret_cast<LONG_PTR>(proc);
}

// A control wrapper that logs its messages and passes them on, as the toolbar does.
class RecordingCtrl : public CLCtrl {
public:
    explicit RecordingCtrl(std::vector<UINT>& log) : log_(log) {}

    void Attach(HWND window) {
        window_ = window;
        Subclass(window, this);
    }
    void Detach() { Unsubclass(); }
    WNDPROC Previous() const { return previousProc_; }

    LONG_PTR procAtDestroy = 0;

protected:
    LRESULT Wnd_Proc(UINT message, WPARAM wParam, LPARAM lParam) override {
        log_.push_back(message);
        if (message == WM_DESTROY) {
            procAtDestroy = GetWindowLongPtrA(window_, GWLP_WNDPROC);
        }
        return CallWindowProcA(previousProc_, window_, message, wParam, lParam);
    }

private:
    std::vector<UINT>& log_;
};

// The base Wnd_Proc, which answers 0 and passes nothing on.
class BareCtrl : public CLCtrl {
public:
    void Attach(HWND window) {
        window_ = window;
        Subclass(window, this);
    }
};

} // namespace

TEST_F(DialogWrapperTest, SubclassedControlSeesDestroyAndIsThenUnsubclassed) {
    OwnProcRecord record;
    const HWND window = Create_Control(record);
    ASSERT_NE(nullptr, window);
    std::vector<UINT> log;
    RecordingCtrl control(log);
    control.Attach(window);
    ASSERT_TRUE(control.Subclassed());
    EXPECT_EQ(Address_Of(&CLCtrl::Wnd_ProcMain), Proc_Of(window));
    EXPECT_EQ(&Own_Proc, control.Previous());
    EXPECT_EQ(ownAnswer, SendMessageA(window, WM_APP, 0, 0));
    EXPECT_EQ(1u, Count_Of(log, WM_APP));
    EXPECT_EQ(1, record.appMessages);

    DestroyWindow(window);
    EXPECT_EQ(1u, Count_Of(log, WM_DESTROY));
    EXPECT_EQ(Address_Of(&CLCtrl::Wnd_ProcMain), control.procAtDestroy);
    EXPECT_EQ(0u, Count_Of(log, WM_NCDESTROY));
    EXPECT_TRUE(record.ncDestroyed);
    EXPECT_EQ(Address_Of(&Own_Proc), record.procAtNcDestroy);
    EXPECT_FALSE(control.Subclassed());
    // The table entry is gone: the shared procedure finds no object.
    const std::size_t logged = log.size();
    EXPECT_EQ(0, CLCtrl::Wnd_ProcMain(window, WM_APP, 0, 0));
    EXPECT_EQ(logged, log.size());
}

TEST_F(DialogWrapperTest, UnsubclassRestoresTheProcedureAndSubclassOnlyOnce) {
    OwnProcRecord firstRecord;
    OwnProcRecord secondRecord;
    const HWND first = Create_Control(firstRecord);
    const HWND second = Create_Control(secondRecord);
    std::vector<UINT> log;
    RecordingCtrl control(log);
    control.Attach(first);
    control.Attach(second); // already subclassed: ignored
    EXPECT_EQ(Address_Of(&Own_Proc), Proc_Of(second));
    EXPECT_EQ(0, CLCtrl::Wnd_ProcMain(second, WM_APP, 0, 0));

    control.Detach();
    EXPECT_FALSE(control.Subclassed());
    EXPECT_EQ(Address_Of(&Own_Proc), Proc_Of(first));
    EXPECT_EQ(ownAnswer, SendMessageA(first, WM_APP, 0, 0));
    EXPECT_TRUE(log.empty());
    control.Detach(); // not subclassed: nothing to undo
    EXPECT_EQ(Address_Of(&Own_Proc), Proc_Of(first));

    // Once let go, it may subclass again.
    control.Attach(second);
    EXPECT_TRUE(control.Subclassed());
    EXPECT_EQ(ownAnswer, SendMessageA(second, WM_APP, 0, 0));
    EXPECT_EQ(1u, Count_Of(log, WM_APP));
    DestroyWindow(first);
    DestroyWindow(second);
}

TEST_F(DialogWrapperTest, BaseWindowProcedureAnswersZeroAndPassesNothingOn) {
    OwnProcRecord record;
    const HWND window = Create_Control(record);
    BareCtrl control;
    control.Attach(window);
    ASSERT_TRUE(control.Subclassed());
    EXPECT_EQ(0, SendMessageA(window, WM_APP, 0, 0));
    EXPECT_EQ(0, record.appMessages);
    DestroyWindow(window);
    EXPECT_FALSE(control.Subclassed());
    EXPECT_TRUE(record.ncDestroyed);
}

TEST_F(DialogWrapperTest, MessageForUnknownWindowGivesZero) {
    OwnProcRecord record;
    const HWND window = Create_Control(record);
    EXPECT_EQ(0, CLCtrl::Wnd_ProcMain(window, WM_APP, 0, 0));
    EXPECT_EQ(0, record.appMessages);
    DestroyWindow(window);
}

TEST_F(DialogWrapperTest, FullControlTableLeavesTheWindowAlone) {
    OwnProcRecord record;
    const HWND window = Create_Control(record);
    std::vector<UINT> log;
    RecordingCtrl control(log);
    HandleTable::Set_Reallocator(&Failing_Reallocate);
    control.Attach(window);
    HandleTable::Set_Reallocator(nullptr);
    EXPECT_FALSE(control.Subclassed());
    EXPECT_EQ(Address_Of(&Own_Proc), Proc_Of(window));
    EXPECT_EQ(ownAnswer, SendMessageA(window, WM_APP, 0, 0));
    EXPECT_TRUE(log.empty());
    DestroyWindow(window);
}

TEST_F(DialogWrapperTest, DeletedWrapperGivesItsLiveWindowBackItsProcedure) {
    OwnProcRecord record;
    const HWND window = Create_Control(record);
    std::vector<UINT> log;
    {
        RecordingCtrl control(log);
        control.Attach(window);
        ASSERT_TRUE(control.Subclassed());
    }
    EXPECT_EQ(Address_Of(&Own_Proc), Proc_Of(window));
    EXPECT_EQ(ownAnswer, SendMessageA(window, WM_APP, 0, 0));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(0, CLCtrl::Wnd_ProcMain(window, WM_APP, 0, 0));
    DestroyWindow(window);
    EXPECT_TRUE(record.ncDestroyed);
}

TEST_F(DialogWrapperTest, SubclassOfNoWindowLeavesTheWrapperUnbound) {
    std::vector<UINT> log;
    RecordingCtrl control(log);
    control.Attach(nullptr);
    EXPECT_FALSE(control.Subclassed());
    EXPECT_EQ(0, CLCtrl::Wnd_ProcMain(nullptr, WM_APP, 0, 0));
    EXPECT_TRUE(log.empty());
}
