#pragma once
// The unit's identity as it last reported it.
#include <cstdint>
#include <string>

struct TDeviceInfo {
  std::string FirmwareVersion;      // "[FwVersion]=", up to 90 characters
  int16_t DatabaseVersion = 0;
  int16_t ProductCode = 0;
  std::string ModelId;              // up to 31 characters each
  std::string ModelVersion;
  std::string ModelSerialCode;
  std::string SoftwareVersionCode;  // the unit's present firmware version
  uint8_t Certification = 0;        // 0 "Level A", 1 "Level B", else "Unknown"
  uint8_t LoadEquivalency = 0;
};

const char* CertificationText(uint8_t certification);
