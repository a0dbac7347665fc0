#pragma once
// The system's devices as a test says: the Ports class's devices with their
// instance identifiers, registry "PortName" values and names, the values of
// the registry's SERIALCOMM key, and what the port table registers for device
// notifications.
#include <cstring>
#include <string>
#include <vector>

#include "ports/win32/SetupApi.h"

class ScriptedSetupApi : public SetupApi {
 public:
  struct Device {
    std::string InstanceId, PortName;
    std::wstring FriendlyName, Description;
  };

  struct Value {
    std::string Name;
    DWORD Type = REG_SZ;
    std::string Data;
  };

  // The script.
  std::vector<Device> devices;
  std::vector<Value> serialComm;
  bool serialCommMissing = false;
  LONG serialCommEnd = ERROR_NO_MORE_ITEMS;  // what the enumeration ends with
  bool listFails = false;
  bool registrationFails = false;

  // What the port table did.
  GUID listedClass{};
  DWORD listFlags = 0;
  DEV_BROADCAST_DEVICEINTERFACE_A filter{};
  DWORD registrationFlags = MAXDWORD;
  int openSets = 0, openKeys = 0, registrations = 0;

  HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, PCSTR, HWND, DWORD flags) override {
    listedClass = *classGuid, listFlags = flags;
    if (listFails) return Fail(ERROR_INVALID_PARAMETER), INVALID_HANDLE_VALUE;
    ++openSets;
    return kSet;
  }
  BOOL SetupDiEnumDeviceInfo(HDEVINFO, DWORD index, PSP_DEVINFO_DATA device) override {
    if (index >= devices.size()) return Fail(ERROR_NO_MORE_ITEMS);
    device->DevInst = index;
    return TRUE;
  }
  BOOL SetupDiGetDeviceInstanceIdA(HDEVINFO, PSP_DEVINFO_DATA device, PSTR id, DWORD size,
                                   PDWORD required) override {
    const std::string& text = devices[device->DevInst].InstanceId;
    if (required) *required = DWORD(text.size() + 1);
    if (size < text.size() + 1) return Fail(ERROR_INSUFFICIENT_BUFFER);
    text.copy(id, text.size());
    id[text.size()] = '\0';
    return TRUE;
  }
  BOOL SetupDiGetDeviceRegistryPropertyW(HDEVINFO, PSP_DEVINFO_DATA device, DWORD property, PDWORD type,
                                         PBYTE buffer, DWORD size, PDWORD required) override {
    const Device& d = devices[device->DevInst];
    const std::wstring& text = property == SPDRP_FRIENDLYNAME ? d.FriendlyName : d.Description;
    if (text.empty()) return Fail(ERROR_INVALID_DATA);
    const DWORD bytes = DWORD((text.size() + 1) * sizeof(wchar_t));
    if (type) *type = REG_SZ;
    if (required) *required = bytes;
    if (size < bytes) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(buffer, text.c_str(), bytes);
    return TRUE;
  }
  HKEY SetupDiOpenDevRegKey(HDEVINFO, PSP_DEVINFO_DATA device, DWORD, DWORD, DWORD, REGSAM) override {
    ++openKeys;
    return reinterpret_cast<HKEY>(uintptr_t(device->DevInst + 1));
  }
  BOOL SetupDiDestroyDeviceInfoList(HDEVINFO) override { return --openSets, TRUE; }
  LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) override {
    const std::string& text = devices[uintptr_t(key) - 1].PortName;
    if (std::string(name) != "PortName" || text.empty()) return ERROR_FILE_NOT_FOUND;
    *type = REG_SZ;
    const DWORD bytes = DWORD(text.size());  // without a NUL, as the registry may hold it
    if (data && *size < bytes) return *size = bytes, ERROR_MORE_DATA;
    if (data) text.copy(reinterpret_cast<char*>(data), bytes);
    *size = bytes;
    return ERROR_SUCCESS;
  }
  LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD, REGSAM, PHKEY result) override {
    if (root != HKEY_LOCAL_MACHINE || std::string(subKey) != "HARDWARE\\DEVICEMAP\\SERIALCOMM" || serialCommMissing)
      return ERROR_FILE_NOT_FOUND;
    ++openKeys;
    *result = kSerialComm;
    return ERROR_SUCCESS;
  }
  // As the registry: a value whose name or data does not fit is
  // ERROR_MORE_DATA; the data need not end in a NUL.
  LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD, LPDWORD type, LPBYTE data,
                     LPDWORD dataSize) override {
    if (key != kSerialComm) return ERROR_INVALID_HANDLE;
    if (index >= serialComm.size()) return serialCommEnd;
    const Value& v = serialComm[index];
    if (*nameSize <= v.Name.size() || *dataSize < v.Data.size()) return ERROR_MORE_DATA;
    v.Name.copy(name, v.Name.size());
    name[v.Name.size()] = '\0';
    *nameSize = DWORD(v.Name.size());
    *type = v.Type;
    v.Data.copy(reinterpret_cast<char*>(data), v.Data.size());
    *dataSize = DWORD(v.Data.size());
    return ERROR_SUCCESS;
  }
  LONG RegCloseKey(HKEY) override { return --openKeys, ERROR_SUCCESS; }

  HDEVNOTIFY RegisterDeviceNotificationA(HANDLE, LPVOID f, DWORD flags) override {
    filter = *static_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(f);
    registrationFlags = flags;
    if (registrationFails) return Fail(ERROR_SERVICE_SPECIFIC_ERROR), nullptr;
    ++registrations;
    return kNotification;
  }
  BOOL UnregisterDeviceNotification(HDEVNOTIFY) override { return --registrations, TRUE; }

  DWORD GetLastError() override { return lastError_; }

 private:
  inline static const HDEVINFO kSet = reinterpret_cast<HDEVINFO>(uintptr_t(0x5E7));
  inline static const HKEY kSerialComm = reinterpret_cast<HKEY>(uintptr_t(0x5C0));
  inline static const HDEVNOTIFY kNotification = reinterpret_cast<HDEVNOTIFY>(uintptr_t(0xD0C));
  inline static thread_local DWORD lastError_ = ERROR_SUCCESS;
  static BOOL Fail(DWORD e) {
    lastError_ = e;
    return FALSE;
  }
};
