#include "device/BootPacket.h"

#include <gtest/gtest.h>

#include <vector>

using Bytes = std::vector<std::uint8_t>;

TEST(BootPacket, FramesPayloadsWithEscapesAndChecksum) {
  struct Row {
    Bytes payload, wire;
  } rows[] = {
      {{0x03, 0x00, 0x01, 0x00}, {0x55, 0x55, 0x55, 0x55, 0x03, 0x00, 0x01, 0x00, 0xFC, 0x04}},
      {{0, 0, 0, 0, 0, 0}, {0x55, 0x55, 0x55, 0x55, 0, 0, 0, 0, 0, 0, 0x00, 0x04}},
      // 0x55 and 0x05 in the payload; sum 0x5A + 0x10 = 0x6A, checksum 0x96.
      {{0x55, 0x05, 0x10}, {0x55, 0x55, 0x55, 0x55, 0x05, 0x55, 0x05, 0x05, 0x10, 0x96, 0x04}},
      // A checksum of 0x04 is escaped too; the escape is not summed.
      {{0xFC}, {0x55, 0x55, 0x55, 0x55, 0xFC, 0x05, 0x04, 0x04}},
  };
  for (const Row& row : rows) EXPECT_EQ(FrameBootPacket(row.payload), row.wire);
}

TEST(BootPacket, BuildsBlockReadAndLengthRequests) {
  TCommandBuffer buffer;
  Bytes block(518, 0x12);
  auto bytes = [](std::span<const std::uint8_t> s) { return Bytes(s.begin(), s.end()); };

  Bytes write = bytes(buffer.BuildBlockRequest(bcWrite, 0x9D000200, std::span(block).first(512)));
  EXPECT_EQ(Bytes(write.begin(), write.begin() + 8), (Bytes{0x02, 0x00, 0x80, 0x00, 0x00, 0x02, 0x00, 0x9D}));
  EXPECT_EQ(write.size(), 8u + 512);
  // 6 bytes carry a word count of 1, the bytes all the same.
  write = bytes(buffer.BuildBlockRequest(bcWrite, 0x9D000400, std::span(block).first(6)));
  EXPECT_EQ(write, (Bytes{0x02, 0x00, 0x01, 0x00, 0x00, 0x04, 0x00, 0x9D, 0x12, 0x12, 0x12, 0x12, 0x12, 0x12}));
  // A blank block goes as its header alone.
  Bytes blank(512, 0xFF);
  EXPECT_EQ(bytes(buffer.BuildBlockRequest(bcWrite, 0x9D123400, blank)),
            (Bytes{0x22, 0x00, 0x80, 0x00, 0x00, 0x34, 0x12, 0x9D}));
  EXPECT_EQ(bytes(buffer.BuildReadRequest(0x9D000000, 4)), (Bytes{0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x9D}));
  EXPECT_EQ(bytes(buffer.BuildLengthCommand(1028)), (Bytes{0x08, 0x00, 0x01, 0x01, 0x04, 0x04, 0x00, 0x00}));
}

TEST(BootPacket, ReceiverFindsGoodPacketsAmongAnyBytes) {
  struct Row {
    const char* name;
    Bytes wire;
    bool received;
    Bytes stored;  // the first bytes of BootReply
  } rows[] = {
      {"sum 0x100 is good", {0x55, 0xAA, 0x56, 0x04}, true, {0xAA, 0x56}},
      {"sum 0x101 is discarded and zeroed", {0x55, 0xAA, 0x57, 0x04}, false, {0x00, 0x00}},
      {"escaped payload byte", {0x55, 0xAA, 0x05, 0x55, 0x01, 0x04}, true, {0xAA, 0x55, 0x01}},
      {"a start byte restarts: empty packet is good", {0x55, 0xAA, 0x55, 0x04}, true, {0x00}},
      {"four start bytes leave an empty packet", {0x55, 0x55, 0x55, 0x55}, false, {0x00}},
      {"text with 'U' resets, no end: nothing", {'$', 'P', 'U', 'X'}, false, {'X'}},
      {"an end byte before any start byte", {0x04}, false, {0x00}},
      {"an end byte after a discarded packet", {0x55, 0xAA, 0x57, 0x04, 0x04}, false, {0x00}},
  };
  for (const Row& row : rows) {
    TBootReceiver r;
    for (std::uint8_t b : row.wire) r.FeedBootByte(b);
    EXPECT_EQ(r.ReplyReceived, row.received) << row.name;
    EXPECT_EQ(Bytes(r.BootReply.begin(), r.BootReply.begin() + row.stored.size()), row.stored) << row.name;
  }
  TBootReceiver r;
  for (std::uint8_t b : {0x55, 0x55, 0x55, 0x55}) r.FeedBootByte(b);
  EXPECT_EQ(r.Count, 0u);
}

TEST(BootPacket, ReceiverDropsBytesBeyondItsBufferUnsummed) {
  TBootReceiver r;
  r.FeedBootByte(0x55);
  for (std::size_t i = 0; i < TBootReceiver::ReplySize; ++i) r.FeedBootByte(0x00);
  r.FeedBootByte(0x01);  // dropped: were it summed, the packet would be bad
  r.FeedBootByte(0x04);
  EXPECT_EQ(r.Count, TBootReceiver::ReplySize);
  EXPECT_TRUE(r.ReplyReceived);
}
