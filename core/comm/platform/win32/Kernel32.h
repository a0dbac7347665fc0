#pragma once
// The kernel32 calls of the serial port on Windows, one virtual method per
// call, with the Windows signatures. The port takes them by reference, so a
// test can stand in for the driver; RealKernel32() forwards to the system.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// <windows.h> makes CreateFile a macro for CreateFileA or CreateFileW, which
// would rename SerialPlatform::CreateFile in every file that includes both.
#ifdef CreateFile
#undef CreateFile
#endif

class Kernel32 {
 public:
  virtual ~Kernel32() = default;

  virtual HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                             LPSECURITY_ATTRIBUTES securityAttributes, DWORD creationDisposition,
                             DWORD flagsAndAttributes, HANDLE templateFile) = 0;
  virtual BOOL CloseHandle(HANDLE object) = 0;
  virtual DWORD GetFileAttributesA(LPCSTR fileName) = 0;

  virtual BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue) = 0;
  virtual BOOL GetCommState(HANDLE file, LPDCB dcb) = 0;
  virtual BOOL SetCommState(HANDLE file, LPDCB dcb) = 0;
  virtual BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts) = 0;
  virtual BOOL EscapeCommFunction(HANDLE file, DWORD function) = 0;
  virtual BOOL SetCommMask(HANDLE file, DWORD eventMask) = 0;
  virtual BOOL WaitCommEvent(HANDLE file, LPDWORD eventMask, LPOVERLAPPED overlapped) = 0;
  virtual BOOL ClearCommError(HANDLE file, LPDWORD errors, LPCOMSTAT stat) = 0;
  virtual BOOL PurgeComm(HANDLE file, DWORD flags) = 0;

  virtual BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD bytesRead, LPOVERLAPPED overlapped) = 0;
  virtual BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD bytesWritten,
                         LPOVERLAPPED overlapped) = 0;
  virtual BOOL GetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD bytes, BOOL wait) = 0;
  virtual BOOL CancelIoEx(HANDLE file, LPOVERLAPPED overlapped) = 0;

  virtual HANDLE CreateEventA(LPSECURITY_ATTRIBUTES attributes, BOOL manualReset, BOOL initialState,
                              LPCSTR name) = 0;
  virtual BOOL SetEvent(HANDLE event) = 0;
  virtual BOOL ResetEvent(HANDLE event) = 0;
  virtual DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) = 0;
  virtual DWORD WaitForMultipleObjects(DWORD count, const HANDLE* objects, BOOL waitAll, DWORD milliseconds) = 0;

  virtual DWORD GetLastError() = 0;
};

// The system's kernel32.
Kernel32& RealKernel32();
