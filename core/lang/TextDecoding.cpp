#include "lang/TextDecoding.h"

bool IsLeadByte(unsigned char byte, int codePage) {
  return (codePage == 936 || codePage == 950) && byte >= 0x81 && byte <= 0xFE;
}
