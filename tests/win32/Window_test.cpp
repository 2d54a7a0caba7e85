// The window frame: registration once, the object attached from WM_NCCREATE to WM_NCDESTROY and
// never reached after; command tables; modal dialogs centred and driven through their commands.
#include "app/win32/Window.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/win32/ModalDialog.h"
#include "resources/resource.h"

namespace {

struct Log {
    std::vector<UINT> messages;
    int alive = 0;  // objects of the probe class alive
    int detached = 0;
    int commands = 0;
    UINT last_command = 0;
    UINT last_code = 0;
};
Log g_log;

class Probe : public Window<Probe> {
public:
    Probe(bool owned_by_window) : owned_(owned_by_window) { ++g_log.alive; }
    ~Probe() override { --g_log.alive; }

    static bool register_probe()
    {
        WNDCLASSW wc{};
        wc.lpszClassName = L"LumevaProbeClass";
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        return register_class(wc);
    }
    HWND create(HWND parent = nullptr)
    {
        return create_window(0, L"LumevaProbeClass", L"probe", parent ? WS_CHILD : WS_POPUP, 0, 0, 50, 50, parent,
                             nullptr, &gone_during_creation);
    }

    bool refuse_create = false;
    bool gone_during_creation = false;
    HWND window_seen_at_create = nullptr;
    static const MessageMap<Probe> message_map;
    static const CommandMap<Probe> command_map;

private:
    void detached() override
    {
        ++g_log.detached;
        if (owned_) delete this;
    }
    bool owned_;
};

LRESULT on_any(Probe& p, HWND window, UINT message, WPARAM w, LPARAM l)
{
    // Every message that reaches a handler must find its object alive and attached.
    EXPECT_GT(g_log.alive, 0);
    EXPECT_EQ(p.window(), window);
    g_log.messages.push_back(message);
    if (message == WM_CREATE) {
        p.window_seen_at_create = window;
        return p.refuse_create ? -1 : 0;
    }
    return DefWindowProcW(window, message, w, l);
}

LRESULT on_command(Probe& p, HWND window, WPARAM w, LPARAM l)
{
    return Probe::command_map.dispatch(p, window, w, l);
}

LRESULT command_a(Probe&, HWND, UINT command, UINT code, LPARAM)
{
    ++g_log.commands;
    g_log.last_command = command;
    g_log.last_code = code;
    return 7;
}

constexpr MessageMap<Probe>::Pair probe_pairs[] = {
    {WM_CREATE, on_any},
    {WM_DESTROY, on_any},
    {WM_NCDESTROY, on_any},
    {WM_USER + 1, on_any},
    {WM_COMMAND, [](Probe& p, HWND w, UINT, WPARAM wp, LPARAM lp) { return on_command(p, w, wp, lp); }},
};
constexpr CommandMap<Probe>::Pair probe_commands[] = {{4001, command_a}, {4002, command_a}};

bool contains(UINT message)
{
    for (UINT m : g_log.messages)
        if (m == message) return true;
    return false;
}

}  // namespace

const MessageMap<Probe> Probe::message_map{probe_pairs, DefaultProc::window};
const CommandMap<Probe> Probe::command_map{probe_commands, DefaultProc::window};

TEST(WindowFrame, RegistersOnceAndAttachesFromCreationToDestruction)
{
    g_log = {};
    ASSERT_TRUE(Probe::register_probe());
    ASSERT_TRUE(Probe::register_probe());  // the second call finds the class
    auto* probe = new Probe(true);
    HWND window = probe->create();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(probe->window(), window);
    EXPECT_EQ(probe->window_seen_at_create, window);
    EXPECT_EQ(Probe::of(window), probe);
    EXPECT_TRUE(contains(WM_CREATE));

    DestroyWindow(window);
    EXPECT_TRUE(contains(WM_DESTROY));
    EXPECT_TRUE(contains(WM_NCDESTROY));
    EXPECT_EQ(g_log.detached, 1);
    EXPECT_EQ(g_log.alive, 0);  // the window owned its object and took it along
    EXPECT_EQ(Probe::of(window), nullptr);
}

TEST(WindowFrame, ObjectGoneBeforeItsWindowIsNeverReached)
{
    g_log = {};
    ASSERT_TRUE(Probe::register_probe());
    HWND window;
    {
        Probe probe(false);
        window = probe.create();
        ASSERT_NE(window, nullptr);
        SendMessageW(window, WM_USER + 1, 0, 0);
        EXPECT_EQ(g_log.messages.back(), static_cast<UINT>(WM_USER + 1));
    }
    const size_t seen = g_log.messages.size();
    // The window outlives its object: its messages go to the default procedure only.
    EXPECT_EQ(Probe::of(window), nullptr);
    SendMessageW(window, WM_USER + 1, 0, 0);
    DestroyWindow(window);
    EXPECT_EQ(g_log.messages.size(), seen);
    EXPECT_EQ(g_log.detached, 0);
}

TEST(WindowFrame, RefusedCreationLeavesNoObjectBehind)
{
    g_log = {};
    ASSERT_TRUE(Probe::register_probe());
    auto* probe = new Probe(true);
    probe->refuse_create = true;
    HWND window = probe->create();
    // The window took the object at WM_NCCREATE and gave it back at WM_NCDESTROY.
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(g_log.detached, 1);
    EXPECT_EQ(g_log.alive, 0);
}

TEST(WindowFrame, ForeignWindowsHaveNoObject)
{
    HWND button = CreateWindowExW(0, L"BUTTON", L"b", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(button, nullptr);
    SetWindowLongPtrW(button, GWLP_USERDATA, 12345);  // somebody else's user data
    EXPECT_EQ(WindowBase::attached(button), nullptr);
    DestroyWindow(button);
    EXPECT_EQ(WindowBase::attached(nullptr), nullptr);
}

TEST(CommandMapTable, DispatchesByIdentifierWithTheNotificationCode)
{
    g_log = {};
    ASSERT_TRUE(Probe::register_probe());
    auto* probe = new Probe(true);
    HWND window = probe->create();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SendMessageW(window, WM_COMMAND, MAKEWPARAM(4002, 3), 0), 7);
    EXPECT_EQ(g_log.commands, 1);
    EXPECT_EQ(g_log.last_command, 4002u);
    EXPECT_EQ(g_log.last_code, 3u);
    // Not in the table: the default procedure answers.
    EXPECT_EQ(SendMessageW(window, WM_COMMAND, MAKEWPARAM(4999, 0), 0), 0);
    EXPECT_EQ(g_log.commands, 1);
    DestroyWindow(window);
}

namespace {

class TestDialog : public ModalDialog<TestDialog> {
public:
    explicit TestDialog(HWND owner) : ModalDialog(owner, IDD_ABOUT) {}
    static const CommandMap<TestDialog> command_map;
    RECT placed{};
    bool init_called = false;
    bool destroyed = false;

protected:
    INT_PTR init() override
    {
        init_called = true;
        GetWindowRect(window(), &placed);
        // Answer at once from inside the dialog's own loop, as a user's click would.
        PostMessageW(window(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return TRUE;
    }
    void destroy() override { destroyed = true; }
};

LRESULT end_with_42(TestDialog&, HWND window, UINT, UINT, LPARAM)
{
    EndDialog(window, 42);
    return 0;
}
constexpr CommandMap<TestDialog>::Pair dialog_commands[] = {{IDOK, end_with_42}};

}  // namespace

const CommandMap<TestDialog> TestDialog::command_map{dialog_commands, DefaultProc::none};

TEST(ModalDialogFrame, RunsCentredOverItsOwnerAndAnswersTheEndValue)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 100, 80, 600, 400, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    TestDialog dialog(owner);
    EXPECT_EQ(dialog.run(), 42);
    EXPECT_TRUE(dialog.init_called);
    EXPECT_TRUE(dialog.destroyed);
    const int w = dialog.placed.right - dialog.placed.left;
    const int h = dialog.placed.bottom - dialog.placed.top;
    EXPECT_EQ(dialog.placed.left, 100 + (600 - w) / 2);
    EXPECT_EQ(dialog.placed.top, 80 + (400 - h) / 2);
    EXPECT_EQ(dialog.window(), nullptr);
    DestroyWindow(owner);
}

TEST(ModalDialogFrame, CentringNeverLeavesTheScreen)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 10, 5, 100, 50, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    const POINT at = ModalDialogBase::centred_position(owner, 300, 200);
    EXPECT_EQ(at.x, 0);  // 10 + (100 - 300) / 2 is negative
    EXPECT_EQ(at.y, 0);
    DestroyWindow(owner);
}
