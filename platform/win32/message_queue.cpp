// Per-thread message queues, sending across threads, posting, timers and
// the message loop calls.
#include "platform/win32/message_queue.h"

#include <algorithm>
#include <chrono>
#include <map>

#include "platform/machine/pc_clock.h"
#include "platform/win32/window_manager.h"

namespace platform {
namespace win32 {
namespace {

struct QueueRegistry {
  std::mutex lock;
  std::map<DWORD, std::weak_ptr<ThreadQueue>> byThread;
};
QueueRegistry& R() {
  static QueueRegistry* r = new QueueRegistry;
  return *r;
}

// A waiting thread looks at its queue again at least this often, so that a
// change of the PC clock's rate is noticed while it waits for a timer.
constexpr std::chrono::milliseconds kLongestWait(50);

void Complete(const std::shared_ptr<SentMessage>& item, LRESULT result) {
  QueuePtr sender = item->sender.lock();
  if (!sender) return;
  std::lock_guard<std::mutex> hold(sender->lock);
  item->result = result;
  item->done = true;
  sender->wake.notify_all();
}

// When a thread ends, its windows go with it and whoever waits for it is
// released.
void ShutDown(const QueuePtr& q) {
  std::deque<std::shared_ptr<SentMessage>> pending;
  {
    std::lock_guard<std::mutex> hold(q->lock);
    q->alive = false;
    pending.swap(q->sent);
    q->timers.clear();
  }
  for (const auto& item : pending) Complete(item, 0);
  {
    WindowGuard hold(WindowLock());
    std::vector<HWND> mine;
    for (HWND top : TopLevelWindows()) {
      WindowPtr w = FindWindowRecord(top);
      if (w && w->threadId == q->threadId) {
        std::vector<HWND> tree = WindowAndDescendants(top);
        mine.insert(mine.end(), tree.rbegin(), tree.rend());
      }
    }
    for (HWND h : mine) RemoveWindowRecord(h);
  }
  QueueRegistry& r = R();
  std::lock_guard<std::mutex> hold(r.lock);
  r.byThread.erase(q->threadId);
}

struct QueueHolder {
  QueuePtr queue;
  ~QueueHolder() {
    if (queue) ShutDown(queue);
  }
};
thread_local QueueHolder t_holder;

// Messages whose parameters point to memory of the sender: they can only be
// sent, never posted.
bool SendOnly(UINT message) {
  switch (message) {
    case WM_CREATE: case WM_NCCREATE: case WM_SETTEXT: case WM_GETTEXT: case WM_COPYDATA:
    case WM_WINDOWPOSCHANGING: case WM_WINDOWPOSCHANGED: case WM_GETMINMAXINFO: case WM_NCCALCSIZE:
    case LB_ADDSTRING: case LB_INSERTSTRING: case LB_GETTEXT: case LB_FINDSTRING: case LB_FINDSTRINGEXACT:
    case LB_SELECTSTRING: case CB_ADDSTRING: case CB_INSERTSTRING: case CB_GETLBTEXT: case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT: case CB_SELECTSTRING: case EM_REPLACESEL:
      return true;
    default:
      return false;
  }
}

bool InRange(UINT message, UINT first, UINT last) {
  if (first == 0 && last == 0) return true;
  return message >= first && message <= last;
}

// Lock order: the window lock before a queue's lock.
bool WindowMatches(HWND filter, HWND target) {
  if (!filter) return true;
  if (filter == reinterpret_cast<HWND>(-1)) return target == nullptr;
  return target == filter || (target && IsChild(filter, target));
}

MSG MakeMsg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG m;
  m.hwnd = hwnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  m.time = DWORD(PcNowMs());
  m.pt.x = 0;
  m.pt.y = 0;
  return m;
}

// Finds a message without waiting; both locks held by the caller.
bool FindLocked(ThreadQueue& q, MSG* msg, HWND hwnd, UINT first, UINT last, UINT flags, uint64_t* nextDue) {
  const bool remove = (flags & PM_REMOVE) != 0;
  for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
    if (!InRange(it->message, first, last) || !WindowMatches(hwnd, it->hwnd)) continue;
    *msg = *it;
    if (remove) q.posted.erase(it);
    return true;
  }
  if (q.quit && InRange(WM_QUIT, first, last)) {
    *msg = MakeMsg(nullptr, WM_QUIT, WPARAM(q.quitCode), 0);
    if (remove) q.quit = false;
    return true;
  }
  if (InRange(WM_PAINT, first, last)) {
    for (HWND h : q.paint) {
      if (!WindowMatches(hwnd, h)) continue;
      *msg = MakeMsg(h, WM_PAINT, 0, 0);  // stays until the window is validated
      return true;
    }
  }
  const uint64_t now = PcNowMs();
  *nextDue = UINT64_MAX;
  if (InRange(WM_TIMER, first, last)) {
    for (Timer& t : q.timers) {
      if (!WindowMatches(hwnd, t.hwnd)) continue;
      if (t.due > now) {
        *nextDue = std::min(*nextDue, t.due);
        continue;
      }
      *msg = MakeMsg(t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc));
      if (remove) t.due = now + t.elapse;
      return true;
    }
  }
  return false;
}

}  // namespace

DWORD CallerThreadId() { return GetCurrentThreadId(); }
DWORD CallerProcessId() { return GetCurrentProcessId(); }

QueuePtr CurrentQueue() {
  if (!t_holder.queue) {
    auto q = std::make_shared<ThreadQueue>();
    q->threadId = CallerThreadId();
    q->processId = CallerProcessId();
    QueueRegistry& r = R();
    std::lock_guard<std::mutex> hold(r.lock);
    r.byThread[q->threadId] = q;
    t_holder.queue = q;
  }
  return t_holder.queue;
}

void RemoveProcessWindows(DWORD processId) {
  std::vector<QueuePtr> queues;
  {
    QueueRegistry& r = R();
    std::lock_guard<std::mutex> hold(r.lock);
    for (auto& entry : r.byThread)
      if (QueuePtr q = entry.second.lock())
        if (q->processId == processId) queues.push_back(q);
  }
  for (const QueuePtr& q : queues) ShutDown(q);
  WindowGuard hold(WindowLock());
  std::vector<HWND> mine;
  for (HWND top : TopLevelWindows()) {
    WindowPtr w = FindWindowRecord(top);
    if (w && w->processId == processId) {
      std::vector<HWND> tree = WindowAndDescendants(top);
      mine.insert(mine.end(), tree.rbegin(), tree.rend());
    }
  }
  for (HWND h : mine) RemoveWindowRecord(h);
  auto& classes = ClassList();
  classes.erase(std::remove_if(classes.begin(), classes.end(),
                               [&](const std::shared_ptr<WindowClass>& c) {
                                 return !c->system && c->processId == processId;
                               }),
                classes.end());
}

QueuePtr QueueOfThread(DWORD threadId) {
  QueueRegistry& r = R();
  std::lock_guard<std::mutex> hold(r.lock);
  auto it = r.byThread.find(threadId);
  return it == r.byThread.end() ? nullptr : it->second.lock();
}

LRESULT CallWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool senderUnicode) {
  WNDPROC proc = nullptr;
  bool unicode = false;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(hwnd);
    if (!w) return 0;
    proc = w->proc;
    unicode = w->unicode;
  }
  if (!proc) return 0;
  return CallProcedure(proc, unicode, hwnd, message, wParam, lParam, senderUnicode);
}

void RunSentMessages() {
  QueuePtr q = CurrentQueue();
  for (;;) {
    std::shared_ptr<SentMessage> item;
    {
      std::lock_guard<std::mutex> hold(q->lock);
      if (q->sent.empty()) return;
      item = q->sent.front();
      q->sent.pop_front();
      q->receiving.push_back(item);
    }
    const LPARAM lParam = item->message == WM_COPYDATA ? reinterpret_cast<LPARAM>(&item->copy) : item->lParam;
    const LRESULT result = CallWindow(item->hwnd, item->message, item->wParam, lParam, item->unicode);
    {
      std::lock_guard<std::mutex> hold(q->lock);
      q->receiving.erase(std::find(q->receiving.begin(), q->receiving.end(), item));
    }
    Complete(item, result);
  }
}

namespace {

LRESULT SendToOtherThread(const QueuePtr& target, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                          bool unicode) {
  QueuePtr me = CurrentQueue();
  auto item = std::make_shared<SentMessage>();
  item->hwnd = hwnd;
  item->message = message;
  item->wParam = wParam;
  item->lParam = lParam;
  item->unicode = unicode;
  item->sender = me;
  if (message == WM_COPYDATA && lParam) {
    const COPYDATASTRUCT* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    item->copy.dwData = cds->dwData;
    item->copy.cbData = cds->lpData ? cds->cbData : 0;
    if (item->copy.cbData) {
      const uint8_t* bytes = static_cast<const uint8_t*>(cds->lpData);
      item->copyBytes.assign(bytes, bytes + item->copy.cbData);
      item->copy.lpData = item->copyBytes.data();
    }
  }
  {
    std::lock_guard<std::mutex> hold(target->lock);
    if (!target->alive) return 0;
    target->sent.push_back(item);
    target->wake.notify_all();
  }
  // While waiting, this thread still answers what others send to it.
  for (;;) {
    {
      std::unique_lock<std::mutex> hold(me->lock);
      if (item->done) return item->result;
      if (me->sent.empty()) {
        me->wake.wait_for(hold, kLongestWait);
        continue;
      }
    }
    RunSentMessages();
  }
}

}  // namespace

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool unicode) {
  if (hwnd == HWND_BROADCAST) {
    for (HWND top : TopLevelWindows()) {
      WindowPtr w = FindWindowRecord(top);
      if (w && !w->messageOnly) Send(top, message, wParam, lParam, unicode);
    }
    return 1;
  }
  QueuePtr target;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = CheckWindow(hwnd);
    if (!w) return 0;
    target = w->queue;
  }
  if (!target || target == CurrentQueue()) return CallWindow(hwnd, message, wParam, lParam, unicode);
  return SendToOtherThread(target, hwnd, message, wParam, lParam, unicode);
}

namespace {

bool PostToQueue(const QueuePtr& q, const MSG& m) {
  std::lock_guard<std::mutex> hold(q->lock);
  if (!q->alive) return false;
  q->posted.push_back(m);
  q->wake.notify_all();
  return true;
}

}  // namespace

bool Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (SendOnly(message)) {
    SetLastError(ERROR_MESSAGE_SYNC_ONLY);
    return false;
  }
  if (hwnd == HWND_BROADCAST) {
    for (HWND top : TopLevelWindows()) {
      WindowPtr w = FindWindowRecord(top);
      if (w && !w->messageOnly) Post(top, message, wParam, lParam);
    }
    return true;
  }
  if (!hwnd) return PostToQueue(CurrentQueue(), MakeMsg(nullptr, message, wParam, lParam));
  QueuePtr target;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = CheckWindow(hwnd);
    if (!w) return false;
    target = w->queue;
  }
  if (!target || !PostToQueue(target, MakeMsg(hwnd, message, wParam, lParam))) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return false;
  }
  return true;
}

bool Peek(MSG* msg, HWND hwnd, UINT first, UINT last, UINT flags, bool wait) {
  QueuePtr q = CurrentQueue();
  for (;;) {
    RunSentMessages();
    std::unique_lock<std::recursive_mutex> windows(WindowLock());
    std::unique_lock<std::mutex> hold(q->lock);
    uint64_t nextDue = UINT64_MAX;
    if (FindLocked(*q, msg, hwnd, first, last, flags, &nextDue)) {
      q->lastMessageTime = msg->time;
      return true;
    }
    windows.unlock();
    if (!wait) return false;
    if (!q->sent.empty()) continue;
    auto span = kLongestWait;
    if (nextDue != UINT64_MAX) {
      const uint64_t now = PcNowMs();
      const auto real = std::chrono::duration_cast<std::chrono::milliseconds>(PcToReal(nextDue > now ? nextDue - now : 0));
      span = std::min(span, std::max(real, std::chrono::milliseconds(1)));
    }
    q->wake.wait_for(hold, span);
  }
}

void WaitForInput() {
  MSG msg;
  // Anything PeekMessage would find ends the wait; nothing is removed.
  Peek(&msg, nullptr, 0, 0, PM_NOREMOVE, true);
}

LRESULT Dispatch(const MSG* msg, bool unicode) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (msg->message == WM_TIMER && msg->lParam) {
    // Only a live timer's own routine is called, never an arbitrary pointer
    // someone posted.
    QueuePtr q = CurrentQueue();
    TIMERPROC proc = nullptr;
    {
      std::lock_guard<std::mutex> hold(q->lock);
      for (const Timer& t : q->timers)
        if (t.hwnd == msg->hwnd && t.id == msg->wParam && reinterpret_cast<LPARAM>(t.proc) == msg->lParam)
          proc = t.proc;
    }
    if (proc) proc(msg->hwnd, WM_TIMER, msg->wParam, DWORD(PcNowMs()));
    return 0;
  }
  if (!msg->hwnd) return 0;  // a thread message: no window to go to
  if (!CheckWindow(msg->hwnd)) return 0;
  const LRESULT result = CallWindow(msg->hwnd, msg->message, msg->wParam, msg->lParam, unicode);
  // A procedure that does not validate its window is not painted again and
  // again.
  if (msg->message == WM_PAINT) SetNeedsPaint(msg->hwnd, false);
  return result;
}

void SetNeedsPaint(HWND hwnd, bool needed) {
  WindowGuard windows(WindowLock());
  WindowPtr w = FindWindowRecord(hwnd);
  if (!w || !w->queue) return;
  if (needed && !IsWindowVisible(hwnd)) needed = false;
  w->needsPaint = needed;
  ThreadQueue& q = *w->queue;
  std::lock_guard<std::mutex> hold(q.lock);
  auto it = std::find(q.paint.begin(), q.paint.end(), hwnd);
  if (needed && it == q.paint.end()) {
    q.paint.push_back(hwnd);
    q.wake.notify_all();
  } else if (!needed && it != q.paint.end()) {
    q.paint.erase(it);
  }
}

void ForgetWindow(HWND hwnd) {
  SetNeedsPaint(hwnd, false);
  QueuePtr q;
  {
    WindowGuard hold(WindowLock());
    WindowPtr w = FindWindowRecord(hwnd);
    if (!w) return;
    q = w->queue;
  }
  if (!q) return;
  std::lock_guard<std::mutex> hold(q->lock);
  q->timers.erase(std::remove_if(q->timers.begin(), q->timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
                  q->timers.end());
  q->posted.erase(std::remove_if(q->posted.begin(), q->posted.end(), [&](const MSG& m) { return m.hwnd == hwnd; }),
                  q->posted.end());
  if (q->focus == hwnd) q->focus = nullptr;
  if (q->active == hwnd) q->active = nullptr;
  if (q->capture == hwnd) q->capture = nullptr;
}

}  // namespace win32
}  // namespace platform
