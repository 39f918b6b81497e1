// The message calls of user32 over the thread queues.
#include <algorithm>
#include <atomic>

#include "platform/machine/pc_clock.h"
#include "platform/win32/message_queue.h"
#include "platform/win32/window_manager.h"

using namespace platform::win32;

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return Send(hWnd, Msg, wParam, lParam, false);
}

LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return Send(hWnd, Msg, wParam, lParam, true);
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return Post(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return Post(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
  QueuePtr q = QueueOfThread(idThread);
  if (!q) return SetLastError(ERROR_INVALID_THREAD_ID), FALSE;
  MSG m = {nullptr, Msg, wParam, lParam, DWORD(platform::PcNowMs()), {0, 0}};
  std::lock_guard<std::mutex> hold(q->lock);
  if (!q->alive) return SetLastError(ERROR_INVALID_THREAD_ID), FALSE;
  q->posted.push_back(m);
  q->wake.notify_all();
  return TRUE;
}

BOOL WINAPI PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
  return PostThreadMessageA(idThread, Msg, wParam, lParam);
}

namespace {

// A window filter must name a window of the calling thread.
bool FilterValid(HWND hWnd) {
  if (!hWnd || hWnd == reinterpret_cast<HWND>(-1)) return true;
  WindowPtr w = CheckWindow(hWnd);
  return w && w->threadId == CallerThreadId();
}

BOOL GetMessageCommon(LPMSG lpMsg, HWND hWnd, UINT first, UINT last) {
  if (!lpMsg || !FilterValid(hWnd)) {
    if (!lpMsg) SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  Peek(lpMsg, hWnd, first, last, PM_REMOVE, true);
  return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageCommon(LPMSG lpMsg, HWND hWnd, UINT first, UINT last, UINT flags) {
  if (!lpMsg || !FilterValid(hWnd)) {
    if (!lpMsg) SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return Peek(lpMsg, hWnd, first, last, flags, false);
}

}  // namespace

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  return GetMessageCommon(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax);
}

BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  return GetMessageCommon(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax);
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  return PeekMessageCommon(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg);
}

BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
  return PeekMessageCommon(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg);
}

// Keys that type a character post WM_CHAR behind their WM_KEYDOWN.
BOOL WINAPI TranslateMessage(const MSG* lpMsg) {
  if (!lpMsg || lpMsg->message != WM_KEYDOWN) return FALSE;
  const WPARAM vk = lpMsg->wParam;
  WPARAM ch = 0;
  if (vk >= 'A' && vk <= 'Z')
    ch = vk - 'A' + 'a';
  else if ((vk >= '0' && vk <= '9') || vk == VK_SPACE)
    ch = vk;
  else if (vk == VK_RETURN)
    ch = '\r';
  else if (vk == VK_BACK || vk == VK_TAB || vk == VK_ESCAPE)
    ch = vk;
  if (!ch) return FALSE;
  Post(lpMsg->hwnd, WM_CHAR, ch, lpMsg->lParam);
  return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) { return Dispatch(lpMsg, false); }
LRESULT WINAPI DispatchMessageW(const MSG* lpMsg) { return Dispatch(lpMsg, true); }

VOID WINAPI PostQuitMessage(int nExitCode) {
  QueuePtr q = CurrentQueue();
  std::lock_guard<std::mutex> hold(q->lock);
  q->quit = true;
  q->quitCode = nExitCode;
  q->wake.notify_all();
}

BOOL WINAPI WaitMessage(void) {
  WaitForInput();
  return TRUE;
}

BOOL WINAPI InSendMessage(void) {
  QueuePtr q = CurrentQueue();
  std::lock_guard<std::mutex> hold(q->lock);
  return !q->receiving.empty();
}

LONG WINAPI GetMessageTime(void) {
  QueuePtr q = CurrentQueue();
  std::lock_guard<std::mutex> hold(q->lock);
  return LONG(q->lastMessageTime);
}

// --- Timers -----------------------------------------------------------------------

namespace {
constexpr UINT kMinimumElapse = 10;           // USER_TIMER_MINIMUM
constexpr UINT kMaximumElapse = 0x7FFFFFFF;   // USER_TIMER_MAXIMUM
}  // namespace

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
  if (hWnd) {
    WindowPtr w = CheckWindow(hWnd);
    if (!w) return 0;
    if (w->threadId != CallerThreadId()) return SetLastError(ERROR_INVALID_WINDOW_HANDLE), 0;
  }
  const UINT elapse = std::min(std::max(uElapse, kMinimumElapse), kMaximumElapse);
  QueuePtr q = CurrentQueue();
  std::lock_guard<std::mutex> hold(q->lock);
  const uint64_t due = platform::PcNowMs() + elapse;
  for (Timer& t : q->timers) {
    if (t.hwnd == hWnd && t.id == nIDEvent && (hWnd || nIDEvent)) {
      t.elapse = elapse;
      t.proc = lpTimerFunc;
      t.due = due;
      q->wake.notify_all();
      return hWnd ? 1 : nIDEvent;
    }
  }
  Timer t;
  t.hwnd = hWnd;
  t.id = nIDEvent;
  if (!hWnd) {
    // Thread timers get an id of their own.
    static std::atomic<UINT_PTR> next(0x7FFF);
    do {
      t.id = ++next;
    } while (std::any_of(q->timers.begin(), q->timers.end(),
                         [&](const Timer& o) { return !o.hwnd && o.id == t.id; }));
  }
  t.elapse = elapse;
  t.proc = lpTimerFunc;
  t.due = due;
  q->timers.push_back(t);
  q->wake.notify_all();
  return hWnd ? 1 : t.id;
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
  QueuePtr q = CurrentQueue();
  std::lock_guard<std::mutex> hold(q->lock);
  auto it = std::find_if(q->timers.begin(), q->timers.end(),
                         [&](const Timer& t) { return t.hwnd == hWnd && t.id == uIDEvent; });
  if (it == q->timers.end()) return SetLastError(ERROR_INVALID_PARAMETER), FALSE;
  q->timers.erase(it);
  return TRUE;
}
