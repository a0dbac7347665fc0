#pragma once
// A scripted COM driver behind the kernel32 seam: it records what the port
// asks of it and ends waits the way a test says. Events are the system's
// own, so the port's waits on them are real.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "comm/platform/win32/Kernel32.h"

class ScriptedKernel32 : public Kernel32 {
 public:
  // How the driver ends one WaitCommEvent: with events (those in the mask)
  // or an error, within the call (atOnce) or after it returned
  // ERROR_IO_PENDING; an error also means the device has gone unless told
  // otherwise. A line error under fAbortOnError (aborts) fails every call but
  // ClearCommError until ClearCommError is called. An empty script leaves the
  // wait pending until it is cancelled or the mask changes.
  struct Wait {
    DWORD events = 0;
    DWORD error = ERROR_SUCCESS;
    bool atOnce = false;
    bool gone = true;
    bool aborts = false;
  };

  ~ScriptedKernel32() override {
    for (auto& t : completers_) t.join();
  }

  // The script.
  DWORD openError = ERROR_SUCCESS;
  DWORD attributes = INVALID_FILE_ATTRIBUTES;  // what GetFileAttributesA says of any name
  std::deque<Wait> waits;
  DCB state{};  // what GetCommState reports
  std::string input;
  DWORD readEnd = ERROR_SUCCESS;  // how a read ends
  DWORD writeTakes = MAXDWORD;
  // Reads and writes end within their call; else they pend this long.
  bool transfersAtOnce = false;
  std::chrono::milliseconds transferTime{0};
  // false: a port without modem lines, as Wine's driver on a pseudo-terminal:
  // DTR and RTS are refused with ERROR_NOT_SUPPORTED, and so is at once a
  // wait while the mask has their events (CTS, DSR, RLSD, RING); a wait that
  // the script leaves open ends at once with EV_RXCHAR when input is queued,
  // else with ERROR_OPERATION_ABORTED and no event a moment later.
  bool modemLines = true;
  DWORD escapeError = ERROR_SUCCESS;  // every EscapeCommFunction fails so
  bool letsGo = true;  // false: a pending wait ends neither on cancel nor on a new mask (a stuck driver)

  // What the port did.
  std::string name;
  DWORD access = 0, share = 0, disposition = 0, flags = 0;
  bool extras = false;  // security attributes or a template file
  DCB applied{};
  COMMTIMEOUTS timeouts{};
  int openHandles = 0;

  // Bytes from the line, while the port may be waiting.
  void Arrive(const std::string& bytes) {
    std::lock_guard lock(mutex_);
    input += bytes;
  }

  // Calls to WaitCommEvent so far, and whether one is pending.
  int WaitCalls() {
    std::lock_guard lock(mutex_);
    return waitCalls_;
  }
  bool Pending() {
    std::lock_guard lock(mutex_);
    return pending_;
  }
  bool AwaitPending(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return pending_; });
  }

  HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                     DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile) override {
    name = fileName;
    access = desiredAccess, share = shareMode, disposition = creationDisposition, flags = flagsAndAttributes;
    extras = security || templateFile;
    if (openError) return Fail(openError), INVALID_HANDLE_VALUE;
    ++openHandles;
    return kFile;
  }
  // Ends a pending wait that the port gave up on; false when its event is
  // no longer there to be set.
  bool LetGoAtLast() {
    std::lock_guard lock(mutex_);
    if (!pending_) return false;
    *mask_ = 0;
    error_ = ERROR_OPERATION_ABORTED;
    pending_ = false;
    changed_.notify_all();
    return ::SetEvent(waitEvent_);
  }

  DWORD GetFileAttributesA(LPCSTR) override { return attributes; }
  BOOL CloseHandle(HANDLE object) override {
    --openHandles;
    return object == kFile || ::CloseHandle(object);
  }
  HANDLE CreateEventA(LPSECURITY_ATTRIBUTES a, BOOL manual, BOOL initial, LPCSTR n) override {
    ++openHandles;
    return ::CreateEventA(a, manual, initial, n);
  }

  BOOL SetupComm(HANDLE, DWORD, DWORD) override { return Usable(); }
  BOOL GetCommState(HANDLE, LPDCB dcb) override {
    std::lock_guard lock(mutex_);
    if (gone_) return Fail(ERROR_BAD_COMMAND);
    return aborted_ ? Fail(ERROR_OPERATION_ABORTED) : (*dcb = state, TRUE);
  }
  BOOL SetCommState(HANDLE, LPDCB dcb) override { return Usable() && (applied = *dcb, TRUE); }
  BOOL SetCommTimeouts(HANDLE, LPCOMMTIMEOUTS t) override { return Usable() && (timeouts = *t, TRUE); }
  BOOL EscapeCommFunction(HANDLE, DWORD function) override {
    const bool modemLine = function == SETDTR || function == CLRDTR || function == SETRTS || function == CLRRTS;
    const DWORD error = escapeError ? escapeError : !modemLines && modemLine ? ERROR_NOT_SUPPORTED : 0;
    return Usable() && (!error || Fail(error));
  }
  BOOL PurgeComm(HANDLE, DWORD) override { return Usable(); }
  BOOL ClearCommError(HANDLE, LPDWORD errors, LPCOMSTAT stat) override {
    std::lock_guard lock(mutex_);
    if (gone_) return Fail(ERROR_BAD_COMMAND);
    aborted_ = false;
    *errors = 0;
    *stat = COMSTAT{};
    stat->cbInQue = DWORD(input.size());
    return TRUE;
  }

  // A changed mask ends a pending wait with no events.
  BOOL SetCommMask(HANDLE, DWORD eventMask) override {
    std::lock_guard lock(mutex_);
    if (aborted_) return Fail(ERROR_OPERATION_ABORTED);
    eventMask_ = eventMask;
    if (pending_ && letsGo) EndLater(ERROR_SUCCESS);
    return TRUE;
  }
  DWORD EventMask() {
    std::lock_guard lock(mutex_);
    return eventMask_;
  }
  BOOL WaitCommEvent(HANDLE, LPDWORD mask, LPOVERLAPPED overlapped) override {
    std::lock_guard lock(mutex_);
    ++waitCalls_;
    if (aborted_) return Fail(ERROR_OPERATION_ABORTED);
    if (!eventMask_) return Fail(ERROR_INVALID_PARAMETER);
    if (!modemLines && (eventMask_ & (EV_CTS | EV_DSR | EV_RLSD | EV_RING))) return Fail(ERROR_NOT_SUPPORTED);
    if (!modemLines && waits.empty()) {
      if (!input.empty() && (eventMask_ & EV_RXCHAR)) return *mask = EV_RXCHAR, TRUE;
      mask_ = mask, wait_ = overlapped, waitEvent_ = overlapped->hEvent, pending_ = true;
      EndLater(ERROR_OPERATION_ABORTED, std::chrono::milliseconds(1));
      changed_.notify_all();
      return Fail(ERROR_IO_PENDING);
    }
    Wait w;
    bool scripted = !waits.empty();
    if (scripted) w = waits.front(), waits.pop_front();
    w.events &= eventMask_;
    gone_ = gone_ || (w.error && w.gone);
    aborted_ = w.aborts;
    if (w.atOnce) return w.error ? Fail(w.error) : (*mask = w.events, TRUE);
    mask_ = mask, wait_ = overlapped, waitEvent_ = overlapped->hEvent, pending_ = true;
    if (scripted) End(w.events, w.error);
    changed_.notify_all();
    return Fail(ERROR_IO_PENDING);
  }
  // The driver lets go of a cancelled wait a little later, as real ones do.
  BOOL CancelIoEx(HANDLE, LPOVERLAPPED overlapped) override {
    std::lock_guard lock(mutex_);
    if (!pending_ || overlapped != wait_) return Fail(ERROR_NOT_FOUND);
    if (letsGo) EndLater(ERROR_OPERATION_ABORTED);
    return TRUE;
  }

  // Reads and writes take what the script allows.
  BOOL ReadFile(HANDLE, LPVOID buffer, DWORD count, LPDWORD bytesRead, LPOVERLAPPED overlapped) override {
    if (!Usable()) return FALSE;
    DWORD n = std::min<DWORD>(count, DWORD(input.size()));
    std::memcpy(buffer, input.data(), n);
    input.erase(0, n);
    return Transfer(overlapped, bytesRead, n, readEnd);
  }
  BOOL WriteFile(HANDLE, LPCVOID, DWORD count, LPDWORD bytesWritten, LPOVERLAPPED overlapped) override {
    if (!Usable()) return FALSE;
    return Transfer(overlapped, bytesWritten, std::min(count, writeTakes), ERROR_SUCCESS);
  }
  BOOL GetOverlappedResult(HANDLE, LPOVERLAPPED overlapped, LPDWORD bytes, BOOL wait) override {
    std::unique_lock lock(mutex_);
    if (overlapped != wait_) {
      Transferred& t = transferred_[overlapped];
      if (!t.done && !wait) return Fail(ERROR_IO_INCOMPLETE);
      changed_.wait(lock, [&] { return t.done; });
      *bytes = t.bytes;
      return t.error ? Fail(t.error) : TRUE;
    }
    if (pending_ && !wait) return Fail(ERROR_IO_INCOMPLETE);
    changed_.wait(lock, [&] { return !pending_; });
    *bytes = 0;
    return error_ ? Fail(error_) : TRUE;
  }

  BOOL SetEvent(HANDLE event) override { return ::SetEvent(event); }
  BOOL ResetEvent(HANDLE event) override { return ::ResetEvent(event); }
  DWORD WaitForSingleObject(HANDLE object, DWORD ms) override { return ::WaitForSingleObject(object, ms); }
  DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL all, DWORD ms) override {
    return ::WaitForMultipleObjects(count, objects, all, ms);
  }
  DWORD GetLastError() override { return lastError_; }

 private:
  inline static const HANDLE kFile = reinterpret_cast<HANDLE>(uintptr_t(0xC0C0));
  inline static thread_local DWORD lastError_ = ERROR_SUCCESS;

  static BOOL Fail(DWORD e) {
    lastError_ = e;
    return FALSE;
  }
  BOOL Usable() {
    std::lock_guard lock(mutex_);
    return aborted_ ? Fail(ERROR_OPERATION_ABORTED) : TRUE;
  }
  // Ends a read or write within the call or, pending, after transferTime.
  BOOL Transfer(LPOVERLAPPED overlapped, LPDWORD bytes, DWORD n, DWORD e) {
    std::lock_guard lock(mutex_);
    if (transfersAtOnce && !e) {
      transferred_[overlapped] = {n, e, true};
      if (bytes) *bytes = n;
      ::SetEvent(overlapped->hEvent);
      return TRUE;
    }
    transferred_[overlapped] = {n, e, false};
    completers_.emplace_back([this, overlapped, delay = transferTime] {
      std::this_thread::sleep_for(delay);
      std::lock_guard lock(mutex_);
      transferred_[overlapped].done = true;
      ::SetEvent(overlapped->hEvent);
      changed_.notify_all();
    });
    return Fail(ERROR_IO_PENDING);
  }
  // Ends the pending wait; under the lock.
  void End(DWORD events, DWORD e) {
    *mask_ = events;
    error_ = e;
    pending_ = ending_ = false;
    ::SetEvent(wait_->hEvent);
    changed_.notify_all();
  }
  void EndLater(DWORD e, std::chrono::milliseconds delay = std::chrono::milliseconds(50)) {
    if (ending_) return;
    ending_ = true;
    completers_.emplace_back([this, e, delay] {
      std::this_thread::sleep_for(delay);
      std::lock_guard lock(mutex_);
      if (pending_) End(0, e);
    });
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  int waitCalls_ = 0;
  bool pending_ = false, ending_ = false, gone_ = false, aborted_ = false;
  DWORD eventMask_ = 0;
  LPDWORD mask_ = nullptr;
  LPOVERLAPPED wait_ = nullptr;
  HANDLE waitEvent_ = nullptr;
  DWORD error_ = ERROR_SUCCESS;
  std::vector<std::thread> completers_;
  struct Transferred {
    DWORD bytes = 0, error = ERROR_SUCCESS;
    bool done = false;
  };
  std::map<LPOVERLAPPED, Transferred> transferred_;
};
