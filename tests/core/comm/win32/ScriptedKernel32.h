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
  // How the driver ends one WaitCommEvent: with events or an error, within
  // the call (atOnce) or after it returned ERROR_IO_PENDING; an error also
  // means the device has gone unless told otherwise. An empty script leaves
  // the wait pending until it is cancelled or the mask changes.
  struct Wait {
    DWORD events = 0;
    DWORD error = ERROR_SUCCESS;
    bool atOnce = false;
    bool gone = true;
  };

  ~ScriptedKernel32() override {
    for (auto& t : completers_) t.join();
  }

  // The script.
  DWORD openError = ERROR_SUCCESS;
  std::deque<Wait> waits;
  DCB state{};  // what GetCommState reports
  std::string input;
  DWORD readEnd = ERROR_SUCCESS;  // how a read ends
  DWORD writeTakes = MAXDWORD;

  // What the port did.
  std::string name;
  DWORD access = 0, share = 0, disposition = 0, flags = 0;
  bool extras = false;  // security attributes or a template file
  DCB applied{};
  COMMTIMEOUTS timeouts{};
  int openHandles = 0;

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
  BOOL CloseHandle(HANDLE object) override {
    --openHandles;
    return object == kFile || ::CloseHandle(object);
  }
  HANDLE CreateEventA(LPSECURITY_ATTRIBUTES a, BOOL manual, BOOL initial, LPCSTR n) override {
    ++openHandles;
    return ::CreateEventA(a, manual, initial, n);
  }

  BOOL SetupComm(HANDLE, DWORD, DWORD) override { return TRUE; }
  BOOL GetCommState(HANDLE, LPDCB dcb) override {
    std::lock_guard lock(mutex_);
    return gone_ ? Fail(ERROR_BAD_COMMAND) : (*dcb = state, TRUE);
  }
  BOOL SetCommState(HANDLE, LPDCB dcb) override { return applied = *dcb, TRUE; }
  BOOL SetCommTimeouts(HANDLE, LPCOMMTIMEOUTS t) override { return timeouts = *t, TRUE; }
  BOOL EscapeCommFunction(HANDLE, DWORD) override { return TRUE; }
  BOOL PurgeComm(HANDLE, DWORD) override { return TRUE; }
  BOOL ClearCommError(HANDLE, LPDWORD errors, LPCOMSTAT stat) override {
    std::lock_guard lock(mutex_);
    if (gone_) return Fail(ERROR_BAD_COMMAND);
    *errors = 0;
    *stat = COMSTAT{};
    stat->cbInQue = DWORD(input.size());
    return TRUE;
  }

  // A changed mask ends a pending wait with no events.
  BOOL SetCommMask(HANDLE, DWORD) override {
    std::lock_guard lock(mutex_);
    if (pending_) EndLater(ERROR_SUCCESS);
    return TRUE;
  }
  BOOL WaitCommEvent(HANDLE, LPDWORD mask, LPOVERLAPPED overlapped) override {
    std::lock_guard lock(mutex_);
    ++waitCalls_;
    Wait w;
    bool scripted = !waits.empty();
    if (scripted) w = waits.front(), waits.pop_front();
    gone_ = gone_ || (w.error && w.gone);
    if (w.atOnce) return w.error ? Fail(w.error) : (*mask = w.events, TRUE);
    mask_ = mask, wait_ = overlapped, pending_ = true;
    if (scripted) End(w.events, w.error);
    changed_.notify_all();
    return Fail(ERROR_IO_PENDING);
  }
  // The driver lets go of a cancelled wait a little later, as real ones do.
  BOOL CancelIoEx(HANDLE, LPOVERLAPPED overlapped) override {
    std::lock_guard lock(mutex_);
    if (!pending_ || overlapped != wait_) return Fail(ERROR_NOT_FOUND);
    EndLater(ERROR_OPERATION_ABORTED);
    return TRUE;
  }

  // Reads and writes end at once, with what the script allows.
  BOOL ReadFile(HANDLE, LPVOID buffer, DWORD count, LPDWORD, LPOVERLAPPED overlapped) override {
    DWORD n = std::min<DWORD>(count, DWORD(input.size()));
    std::memcpy(buffer, input.data(), n);
    input.erase(0, n);
    return Transfer(overlapped, n, readEnd);
  }
  BOOL WriteFile(HANDLE, LPCVOID, DWORD count, LPDWORD, LPOVERLAPPED overlapped) override {
    return Transfer(overlapped, std::min(count, writeTakes), ERROR_SUCCESS);
  }
  BOOL GetOverlappedResult(HANDLE, LPOVERLAPPED overlapped, LPDWORD bytes, BOOL wait) override {
    std::unique_lock lock(mutex_);
    if (overlapped != wait_) {
      auto [n, e] = transferred_[overlapped];
      *bytes = n;
      return e ? Fail(e) : TRUE;
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
  BOOL Transfer(LPOVERLAPPED overlapped, DWORD n, DWORD e) {
    std::lock_guard lock(mutex_);
    transferred_[overlapped] = {n, e};
    ::SetEvent(overlapped->hEvent);
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
  void EndLater(DWORD e) {
    if (ending_) return;
    ending_ = true;
    completers_.emplace_back([this, e] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      std::lock_guard lock(mutex_);
      if (pending_) End(0, e);
    });
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  int waitCalls_ = 0;
  bool pending_ = false, ending_ = false, gone_ = false;
  LPDWORD mask_ = nullptr;
  LPOVERLAPPED wait_ = nullptr;
  DWORD error_ = ERROR_SUCCESS;
  std::vector<std::thread> completers_;
  std::map<LPOVERLAPPED, std::pair<DWORD, DWORD>> transferred_;  // bytes, error
};
