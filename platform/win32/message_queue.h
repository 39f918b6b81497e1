// Message queues, one per thread that uses windows: messages sent from
// other threads (run on this thread while their sender waits), posted
// messages, the quit request, paint requests and timers, in the order
// GetMessage hands them out. Also the calls into window procedures with the
// ANSI/wide conversion of text messages.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include <windows.h>

namespace platform {
namespace win32 {

struct SentMessage {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  bool unicode = false;
  // Filled by the receiving thread; `done` is guarded by the sender's lock.
  LRESULT result = 0;
  bool done = false;
  std::weak_ptr<struct ThreadQueue> sender;
  // WM_COPYDATA crosses threads as a copy of the record and its bytes.
  COPYDATASTRUCT copy = {0, 0, nullptr};
  std::vector<uint8_t> copyBytes;
};

struct Timer {
  HWND hwnd = nullptr;
  UINT_PTR id = 0;
  UINT elapse = 0;
  TIMERPROC proc = nullptr;
  uint64_t due = 0;  // PC time, ms
};

struct ThreadQueue {
  DWORD threadId = 0;
  DWORD processId = 0;
  std::mutex lock;
  std::condition_variable wake;
  std::deque<std::shared_ptr<SentMessage>> sent;
  std::deque<MSG> posted;
  bool quit = false;
  int quitCode = 0;
  std::vector<Timer> timers;
  std::vector<HWND> paint;  // visible windows waiting for WM_PAINT
  bool alive = true;
  // Per-thread input state.
  HWND focus = nullptr;
  HWND active = nullptr;
  HWND capture = nullptr;
  // Messages from other threads being handled right now (innermost last).
  std::vector<std::shared_ptr<SentMessage>> receiving;
  DWORD lastMessageTime = 0;
};
typedef std::shared_ptr<ThreadQueue> QueuePtr;

// The caller's PC thread and process ids.
DWORD CallerThreadId();
DWORD CallerProcessId();
// The calling thread's queue, created on first use.
QueuePtr CurrentQueue();
// The queue of a thread that has one, or null.
QueuePtr QueueOfThread(DWORD threadId);

// Calls a window procedure directly, converting text messages between the
// sender's character set and the procedure's.
LRESULT CallProcedure(WNDPROC proc, bool procUnicode, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                      bool senderUnicode);
// Runs a message in a window's own procedure on the calling thread.
LRESULT CallWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool senderUnicode);
// SendMessage: on the window's thread, waiting for it when that is another
// thread; HWND_BROADCAST goes to every top-level window.
LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool unicode = false);
// PostMessage; false with the last error set when it cannot be posted.
bool Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// PeekMessage / GetMessage: true when a message was found (with `wait`,
// waits for one).
bool Peek(MSG* msg, HWND hwnd, UINT first, UINT last, UINT flags, bool wait);
LRESULT Dispatch(const MSG* msg, bool unicode);
// Runs the messages other threads sent to this one.
void RunSentMessages();
// Waits until the thread has something to look at (WaitMessage).
void WaitForInput();
// Schedules a WM_PAINT for the window (when it is visible) or drops it.
void SetNeedsPaint(HWND hwnd, bool needed);
// Drops the window's timers and pending paint (when it is destroyed).
void ForgetWindow(HWND hwnd);

}  // namespace win32
}  // namespace platform
