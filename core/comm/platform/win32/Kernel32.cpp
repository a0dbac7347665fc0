#include "comm/platform/win32/Kernel32.h"

namespace {

class SystemKernel32 : public Kernel32 {
 public:
  HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES securityAttributes,
                     DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile) override {
    return ::CreateFileA(fileName, desiredAccess, shareMode, securityAttributes, creationDisposition,
                         flagsAndAttributes, templateFile);
  }
  BOOL CloseHandle(HANDLE object) override { return ::CloseHandle(object); }
  DWORD GetFileAttributesA(LPCSTR fileName) override { return ::GetFileAttributesA(fileName); }

  BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) override { return ::SetupComm(file, inQueue, outQueue); }
  BOOL GetCommState(HANDLE file, LPDCB dcb) override { return ::GetCommState(file, dcb); }
  BOOL SetCommState(HANDLE file, LPDCB dcb) override { return ::SetCommState(file, dcb); }
  BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts) override { return ::SetCommTimeouts(file, timeouts); }
  BOOL EscapeCommFunction(HANDLE file, DWORD function) override { return ::EscapeCommFunction(file, function); }
  BOOL SetCommMask(HANDLE file, DWORD eventMask) override { return ::SetCommMask(file, eventMask); }
  BOOL WaitCommEvent(HANDLE file, LPDWORD eventMask, LPOVERLAPPED overlapped) override {
    return ::WaitCommEvent(file, eventMask, overlapped);
  }
  BOOL ClearCommError(HANDLE file, LPDWORD errors, LPCOMSTAT stat) override {
    return ::ClearCommError(file, errors, stat);
  }
  BOOL PurgeComm(HANDLE file, DWORD flags) override { return ::PurgeComm(file, flags); }

  BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD bytesRead, LPOVERLAPPED overlapped) override {
    return ::ReadFile(file, buffer, count, bytesRead, overlapped);
  }
  BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD bytesWritten, LPOVERLAPPED overlapped) override {
    return ::WriteFile(file, buffer, count, bytesWritten, overlapped);
  }
  BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD bytes, BOOL wait) override {
    return ::GetOverlappedResult(file, overlapped, bytes, wait);
  }
  BOOL CancelIoEx(HANDLE file, LPOVERLAPPED overlapped) override { return ::CancelIoEx(file, overlapped); }

  HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState, LPCSTR name) override {
    return ::CreateEventA(attributes, manualReset, initialState, name);
  }
  BOOL SetEvent(HANDLE event) override { return ::SetEvent(event); }
  BOOL ResetEvent(HANDLE event) override { return ::ResetEvent(event); }
  DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) override {
    return ::WaitForSingleObject(object, milliseconds);
  }
  DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds) override {
    return ::WaitForMultipleObjects(count, objects, waitAll, milliseconds);
  }

  DWORD GetLastError() override { return ::GetLastError(); }
};

}  // namespace

Kernel32& RealKernel32() {
  static SystemKernel32 kernel;
  return kernel;
}
