// Messages between threads, broadcast and registered messages,
// WM_COPYDATA, timers on the PC clock, the order of destruction, the
// ANSI/wide conversion of text messages, and message boxes.
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "tests/win32/win32_test.h"

namespace win32_test {
namespace {

class MessagesTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Log().clear();
  }
};

constexpr UINT kAsk = WM_APP + 1;
constexpr UINT kAnswerBack = WM_APP + 2;

std::atomic<DWORD> g_threadOfLastCall(0);
HWND g_mainWindow = nullptr;
std::vector<std::string> g_copies;
const void* g_copyPointer = nullptr;

// Records every message it gets; kAsk sends kAnswerBack to the main
// window (a send back into the thread that is waiting for this one).
LRESULT CALLBACK RecordingWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kAsk:
      g_threadOfLastCall = GetCurrentThreadId();
      return 10 * SendMessageA(g_mainWindow, kAnswerBack, wParam, 0);
    case kAnswerBack:
      g_threadOfLastCall = GetCurrentThreadId();
      return LRESULT(wParam) + 1;
    case WM_COPYDATA: {
      const COPYDATASTRUCT* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      g_copyPointer = cds->lpData;
      g_copies.push_back(std::to_string(cds->dwData) + ":" +
                         std::string(static_cast<const char*>(cds->lpData), cds->cbData));
      return TRUE;
    }
    case WM_DESTROY: case WM_NCDESTROY: case WM_TIMER:
      Log().push_back({hwnd, message, wParam, lParam, 0});
      break;
    default:
      if (message >= 0xC000) Log().push_back({hwnd, message, wParam, lParam, 0});
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

ATOM RegisterRecordingClass() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = RecordingWindowProc;
  wc.lpszClassName = "Recording";
  const ATOM atom = RegisterClassA(&wc);
  return atom ? atom : ATOM(GetLastError() == ERROR_CLASS_ALREADY_EXISTS ? 1 : 0);
}

HWND MakeWindow(const char* title, HWND parent = nullptr) {
  return CreateWindowExA(0, "Recording", title, parent ? WS_CHILD : WS_POPUP, 0, 0, 50, 50, parent, nullptr,
                         nullptr, nullptr);
}

// A thread with a window of its own and a message loop.
class WindowThread {
 public:
  WindowThread() {
    thread_ = std::thread([this] {
      window_ = MakeWindow("worker");
      threadId_ = GetCurrentThreadId();
      ready_ = true;
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    });
    while (!ready_) std::this_thread::yield();
  }
  ~WindowThread() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND window() const { return window_; }
  DWORD threadId() const { return threadId_; }

 private:
  std::thread thread_;
  std::atomic<bool> ready_{false};
  HWND window_ = nullptr;
  DWORD threadId_ = 0;
};

TEST_F(MessagesTest, SendingAcrossThreadsRunsOnTheOwnerAndAnswersSendsBack) {
  ASSERT_NE(RegisterRecordingClass(), 0);
  g_mainWindow = MakeWindow("main");
  WindowThread worker;
  EXPECT_EQ(GetWindowThreadProcessId(worker.window(), nullptr), worker.threadId());
  // The worker's procedure runs on the worker and, while it sends back to
  // this thread, this thread answers even though it is itself waiting.
  EXPECT_EQ(SendMessageA(worker.window(), kAsk, 4, 0), 50);
  EXPECT_EQ(g_threadOfLastCall.load(), GetCurrentThreadId());  // kAnswerBack ran here

  // WM_COPYDATA arrives as a copy; it cannot be posted.
  g_copies.clear();
  char bytes[] = "EXIT";
  COPYDATASTRUCT cds = {4402, 4, bytes};
  EXPECT_EQ(SendMessageA(worker.window(), WM_COPYDATA, 0, LPARAM(&cds)), TRUE);
  EXPECT_EQ(g_copies, std::vector<std::string>{"4402:EXIT"});
  EXPECT_NE(g_copyPointer, static_cast<const void*>(bytes));
  EXPECT_FALSE(PostMessageA(worker.window(), WM_COPYDATA, 0, LPARAM(&cds)));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_MESSAGE_SYNC_ONLY));

  // A thread cannot destroy another thread's window, nor filter its
  // message loop on one.
  EXPECT_FALSE(DestroyWindow(worker.window()));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
  MSG msg;
  EXPECT_EQ(GetMessageA(&msg, worker.window(), 0, 0), -1);
  EXPECT_FALSE(PostThreadMessageA(0xFFFFFFF0, WM_NULL, 0, 0));
}

TEST_F(MessagesTest, RegisteredMessagesAndBroadcastsReachEveryTopLevelWindow) {
  ASSERT_NE(RegisterRecordingClass(), 0);
  const UINT button = RegisterWindowMessageA("VUROZIZIVA_BUTTON_MESSAGE_734B3978-4B16-4317-AF2D-DD32BCF067E8");
  EXPECT_GE(button, 0xC000u);
  EXPECT_EQ(RegisterWindowMessageA("vuroziziva_button_message_734b3978-4b16-4317-af2d-dd32bcf067e8"), button);
  EXPECT_NE(RegisterWindowMessageA("TrayIcon notification"), button);
  EXPECT_EQ(RegisterWindowMessageA(""), 0u);

  HWND top = MakeWindow("top");
  HWND child = MakeWindow("child", top);
  ASSERT_NE(child, nullptr);
  EXPECT_TRUE(PostMessageA(HWND_BROADCAST, button, 2, 0));
  EXPECT_EQ(FindWindowA("Recording", "top"), top);
  EXPECT_EQ(FindWindowA(nullptr, "child"), nullptr);  // children are not top-level
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  std::vector<HWND> reached;
  for (const Seen& s : LogOf(button)) reached.push_back(s.hwnd);
  EXPECT_NE(std::find(reached.begin(), reached.end(), top), reached.end());
  EXPECT_EQ(std::find(reached.begin(), reached.end(), child), reached.end());
  EXPECT_EQ(LogOf(button).front().wParam, 2u);
}

TEST_F(MessagesTest, TimersFollowThePcClock) {
  ASSERT_NE(RegisterRecordingClass(), 0);
  HWND hwnd = MakeWindow("timer");
  platform::SetPcClockRate(1000);  // one PC second per real millisecond
  const uint64_t start = platform::PcNowMs();
  const auto realStart = std::chrono::steady_clock::now();
  ASSERT_NE(SetTimer(hwnd, 103, 1000, nullptr), 0u);
  MSG msg;
  int ticks = 0;
  while (ticks < 3 && GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == hwnd && msg.wParam == 103) ++ticks;
    DispatchMessageA(&msg);
  }
  EXPECT_GE(platform::PcNowMs() - start, 3000u);
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(2));
  EXPECT_EQ(LogOf(WM_TIMER).size(), 3u);
  EXPECT_TRUE(KillTimer(hwnd, 103));
  EXPECT_FALSE(KillTimer(hwnd, 103));

  // A thread timer calls its routine; a WM_TIMER someone posts with a
  // routine that is no live timer's is not followed.
  static int calls = 0;
  calls = 0;
  const UINT_PTR id = SetTimer(nullptr, 0, 500, [](HWND, UINT, UINT_PTR, DWORD) { ++calls; });
  ASSERT_NE(id, 0u);
  while (calls < 2 && GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  KillTimer(nullptr, id);
  PostMessageA(hwnd, WM_TIMER, 5, LPARAM(0x1234));
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  EXPECT_EQ(calls, 2);
}

TEST_F(MessagesTest, DestroyingAWindowTellsParentsFirstAndFreesChildrenFirst) {
  ASSERT_NE(RegisterRecordingClass(), 0);
  HWND parent = MakeWindow("parent");
  HWND child = MakeWindow("child", parent);
  SetFocus(child);
  ASSERT_TRUE(DestroyWindow(parent));
  std::vector<std::pair<HWND, UINT>> order;
  for (const Seen& s : Log())
    if (s.message == WM_DESTROY || s.message == WM_NCDESTROY) order.push_back({s.hwnd, s.message});
  EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{
                       {parent, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {parent, WM_NCDESTROY}}));
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_FALSE(DestroyWindow(parent));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

std::wstring g_wideText;

LRESULT CALLBACK WideProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETTEXT && lParam) g_wideText = reinterpret_cast<LPCWSTR>(lParam);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(MessagesTest, TextMessagesConvertBetweenAnsiAndWide) {
  SetLanguage(1041);  // a Japanese PC: Shift-JIS
  WNDCLASSW wc = {};
  wc.lpfnWndProc = WideProc;
  wc.lpszClassName = L"WideWindow";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, L"WideWindow", L"\u30AB\u30E1\u30E9", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  char ansi[32];
  EXPECT_EQ(GetWindowTextA(hwnd, ansi, sizeof ansi), 6);
  EXPECT_STREQ(ansi, "\x83\x4A\x83\x81\x83\x89");
  EXPECT_EQ(GetWindowTextLengthA(hwnd), 6);
  EXPECT_EQ(GetWindowTextLengthW(hwnd), 3);
  // An ANSI text reaches the wide procedure as wide characters.
  SetWindowTextA(hwnd, "\x83\x81");
  EXPECT_EQ(g_wideText, L"\u30E1");
  WCHAR wide[8];
  EXPECT_EQ(GetWindowTextW(hwnd, wide, 8), 1);
  EXPECT_EQ(std::wstring(wide), L"\u30E1");
  EXPECT_EQ(GetWindowTextW(hwnd, wide, 1), 0);  // room for the terminator only
  // A wide window created through the ANSI call gets its name converted.
  HWND second = CreateWindowExA(0, "WideWindow", "\x83\x4A", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                nullptr);
  EXPECT_EQ(GetWindowTextW(second, wide, 8), 1);
  EXPECT_EQ(std::wstring(wide), L"\u30AB");
  DestroyWindow(second);
  UnregisterClassW(L"WideWindow", nullptr);
  EXPECT_EQ(GetLastError(), DWORD(1412));  // the class still has a window
  DestroyWindow(hwnd);
  EXPECT_TRUE(UnregisterClassW(L"WideWindow", nullptr));
}

TEST_F(MessagesTest, MessageBoxesAreAnsweredFromTheScriptOrByTheirDefaultButton) {
  std::vector<std::string> shown;
  platform::SetMessageBoxHook([&](const platform::MessageBoxRecord& r) { shown.push_back(r.caption + "|" + r.text); });
  platform::ScriptMessageBoxAnswers({IDNO, IDRETRY});
  EXPECT_EQ(MessageBoxA(nullptr, "Overwrite?", "Question", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxA(nullptr, "CoInitialize Fail", nullptr, MB_OK), IDOK);  // IDRETRY is not a button here
  EXPECT_EQ(MessageBoxA(nullptr, "Keep?", "Q", MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
  EXPECT_EQ(MessageBoxW(nullptr, L"Unknown Error: 0x80004005", L"Error!", MB_ICONERROR), IDOK);
  EXPECT_EQ(shown, (std::vector<std::string>{"Question|Overwrite?", "Error|CoInitialize Fail", "Q|Keep?",
                                             "Error!|Unknown Error: 0x80004005"}));
  const std::vector<platform::MessageBoxRecord> log = platform::MessageBoxLog();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[3].type, UINT(MB_ICONERROR));
  EXPECT_EQ(MessageBoxA(reinterpret_cast<HWND>(0x7654), "x", "y", MB_OK), 0);  // no such owner
}

}  // namespace
}  // namespace win32_test
