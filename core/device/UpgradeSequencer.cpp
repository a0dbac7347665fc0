#include "device/UpgradeSequencer.h"

#include <algorithm>
#include <cstdio>

#include "codec/Sentence.h"
#include "common/Exception.h"

namespace {
constexpr uint16_t BootLoaderRequest = 8;
constexpr int16_t VersionNotice = 2;
constexpr std::size_t VersionNoticeText = 25;  // the TPS text field

// "About 40 s left", "About 3 min left": a user plans by it, so it is rounded up.
std::string FormatTimeLeft(std::chrono::seconds left, const LanguageTexts& texts) {
  const long s = std::max<long>(left.count(), 1);
  if (s >= 120) return FillIn(texts.MinutesLeft, {std::to_string((s + 59) / 60)});
  return FillIn(texts.SecondsLeft, {std::to_string((s + 4) / 5 * 5)});
}
}  // namespace

UpgradeSequencer::UpgradeSequencer(UnitPort& port, DeviceLink& link, const FirmwareFile& firmware,
                                   MessageBoxes& boxes, const LanguageTexts& texts)
    : port_(port), link_(link), firmware_(firmware), boxes_(boxes), texts_(texts) {}

void UpgradeSequencer::Changed() {
  if (OnChanged) OnChanged();
}

void UpgradeSequencer::ResetUpgradeCounters() {
  UpgradeState = usIdle;
  BytesRemaining = 0;
  BlockIndex = 0;
  BlockLength = 0;
  FinishAfterVerify = false;
  FinishStep = 0;
  Receiver.ReplyReceived = false;
  RunTimerWhileWorking();
}

bool UpgradeSequencer::HasWork() const {
  switch (UpgradeState) {
    case usWriting:
    case usVerifying:
    case usErasing: return true;
    case usFinishing: return FinishStep < 2;
    default: return false;
  }
}

void UpgradeSequencer::RunTimerWhileWorking() {
  if (PIC_Timer && PIC_Timer->Enabled() != HasWork()) PIC_Timer->SetEnabled(HasWork());
}

void UpgradeSequencer::RestartReplyTicks() { replySince_ = Now(); }

void UpgradeSequencer::RestartEraseTicks() { eraseSince_ = Now(); }

bool UpgradeSequencer::Elapsed(Clock::time_point since, int ticks) const {
  return Now() - since > ticks * TickPeriod;
}

void UpgradeSequencer::SendBootPacket(std::span<const std::uint8_t> payload) {
  // One write for the whole packet: the bytes on the wire are the same as
  // byte by byte, but a USB adapter carries them in one transfer instead of
  // one per byte. A failed write shows as the missing answer.
  const std::vector<std::uint8_t> wire = FrameBootPacket(payload);
  link_.WriteBytes(wire.data(), static_cast<int32_t>(wire.size()));
}

std::size_t UpgradeSequencer::BlockOffset() const {
  return static_cast<std::size_t>(BlockSize) * static_cast<uint16_t>(BlockIndex);
}

std::span<const std::uint8_t> UpgradeSequencer::ImageBlock(int32_t length) const {
  const std::size_t offset = BlockOffset();
  const std::size_t n =
      std::min<std::size_t>(static_cast<std::size_t>(std::max(length, 0)), firmware_.FirmwareImage.size() - offset);
  return {firmware_.FirmwareImage.data() + offset, n};
}

void UpgradeSequencer::StartBlockTransfer(BootCommand command) {
  BlockLength = BytesRemaining - BlockSize > 0 ? BlockSize : BytesRemaining;
  const std::span<const std::uint8_t> block = ImageBlock(BlockLength);
  const auto address = static_cast<std::uint32_t>(BootFlashBase + BlockOffset());
  SendBootPacket(command == bcWrite ? CommandBuffer.BuildBlockRequest(bcWrite, address, block)
                                    : CommandBuffer.BuildReadRequest(address, block.size()));
}

bool UpgradeSequencer::RefuseUnfitFirmware() {
  if (firmware_.FitToFlash()) return false;
  boxes_.Show(firmware_.ReasonIn(texts_), texts_.Warning, MsgButtons::OK, MsgIcon::Warning);
  return true;
}

void UpgradeSequencer::ShowUpgradeStarting() {
  BlockIndex = 0;
  Page.Notice = texts_.UpgradeInProcess;
  Changed();
  if (ShowProgressPage) ShowProgressPage();
}

void UpgradeSequencer::StartProgramming() {
  Page.StatusText = texts_.Programming;
  Page.Position = 0;
  StartWritePass();
  Page.FinishEnabled = false;
  Changed();
}

bool UpgradeSequencer::StartRecovery() {
  if (RefuseUnfitFirmware()) return false;
  ShowUpgradeStarting();
  StartProgramming();
  return true;
}

bool UpgradeSequencer::SpeedButtonFrmVerWantToContinueYesClick() {
  if (RefuseUnfitFirmware()) return false;
  ShowUpgradeStarting();
  // A failed write has shown its message already; the upgrade goes on and
  // its first request times out.
  link_.SendTestRequest(BootLoaderRequest);
  if (Pause) Pause(BootLoaderPause);
  // The boot loader listens at 38400 baud only.
  if (ChosenRate && ChosenRate() != BootLoaderRateCode) {
    port_.Close();
    if (Pause) Pause(BootLoaderPause);
    if (!ReopenComPort(port_, ChosenPort ? ChosenPort() : std::string(), BootLoaderRateCode)) {
      Failed = true;
      if (PortOpenFailed) PortOpenFailed();
      if (ResetWizard) ResetWizard();
      return false;
    }
  }
  StartProgramming();
  return true;
}

bool UpgradeSequencer::SpeedButton_WritePICFlashClick() {
  if (RefuseUnfitFirmware()) return false;
  Page.Position = 0;
  // From block 0 whatever an earlier pass left: a failed pass keeps its
  // index, and going on from there would write blocks to the wrong place.
  BlockIndex = 0;
  StartWritePass();
  Changed();
  return true;
}

void UpgradeSequencer::StartWritePass() {
  BytesRemaining = firmware_.ProgramLength();
  StartBlockTransfer(bcWrite);
  RestartReplyTicks();
  RestartEraseTicks();
  UpgradeState = usWriting;
  Receiver.ReplyReceived = false;
  TpsSent = false;
  Failed = PortGone = false;
  StartTiming(2);
  RunTimerWhileWorking();
}

void UpgradeSequencer::SpeedButton_VerifyPICFlashClick() {
  StartTiming(1);
  StartVerifyPass();
}

void UpgradeSequencer::StartTiming(int passes) {
  passes_ = passes;
  passesSince_ = Now();
  blocksDone_ = 0;
  bytesDone_ = 0;
  Page.TimeLeft.clear();
}

void UpgradeSequencer::StartVerifyPass() {
  Page.Position = 0;
  Page.StatusText = texts_.Verifying;
  link_.MemoRecord.Add("PC==>Verify PIC Flash");
  BlockIndex = 0;  // as for Write Flash
  BytesRemaining = firmware_.ProgramLength();
  Receiver.ReplyReceived = false;
  StartBlockTransfer(bcRead);
  RestartReplyTicks();
  RestartEraseTicks();
  UpgradeState = usVerifying;
  Failed = PortGone = false;
  RunTimerWhileWorking();
  Changed();
  if (link_.OnChanged) link_.OnChanged();
}

void UpgradeSequencer::SpeedButton_ErasePICFlashClick() {
  // An acknowledgement left from an earlier request must not pass for the
  // erase's own.
  Receiver.ReplyReceived = false;
  SendBootPacket(EraseCommand);
  link_.MemoRecord.Add("PC==>Erase PIC Flash");
  if (link_.OnChanged) link_.OnChanged();
  RestartEraseTicks();
  UpgradeState = usErasing;
  Failed = PortGone = false;
  RunTimerWhileWorking();
}

void UpgradeSequencer::SpeedButton_RunToApplicationClick() {
  SendBootPacket(RunCommand);
  link_.MemoRecord.Add("PC==>Run to Application");
  if (link_.OnChanged) link_.OnChanged();
}

void UpgradeSequencer::PIC_TimerTimer() {
  const int value = firmware_.TotalBlocks() - BytesRemaining / BlockSize;
  switch (UpgradeState) {
    case usWriting: WritingStep(value); break;
    case usVerifying: VerifyingStep(value); break;
    case usErasing: ErasingStep(); break;
    case usFinishing: FinishingStep(); break;
    default: break;
  }
  RunTimerWhileWorking();
}

void UpgradeSequencer::Fail(const std::string& text, bool resetWizard, const std::string& caption) {
  // Idle before the box opens: the ticks that come while it is up do nothing.
  UpgradeState = usIdle;
  Failed = true;
  RunTimerWhileWorking();
  Page.TimeLeft.clear();
  Changed();
  boxes_.Show(text, caption, MsgButtons::OK, MsgIcon::None);
  if (resetWizard && ResetWizard) ResetWizard();
}

void UpgradeSequencer::ShowBlock(int value) {
  if (value >= 0 && value <= firmware_.TotalBlocks()) Page.Position = value;
  char text[32];
  std::snprintf(text, sizeof text, "%d/%d", value + 1, firmware_.TotalBlocks());
  Page.ValueText = text;
}

void UpgradeSequencer::BlockDone() {
  blocksDone_ += 1;
  bytesDone_ += BlockLength;
  UpdateTimeLeft();
}

// Each step looks at the answer before the time: a tick that comes late (the
// window was busy) must not fail a request whose answer has arrived. A
// failed pass ends the tick, so an answer that comes while its box is open
// sends nothing.
void UpgradeSequencer::WritingStep(int value) {
  if (BytesRemaining > 0 && Receiver.ReplyReceived) {
    BlockDone();
    BlockIndex += 1;
    BytesRemaining -= BlockLength;
    if (BytesRemaining <= 0) return;  // the next tick completes the pass
    ShowBlock(value);
    Page.StatusText = value % 2 != 0 ? texts_.ProgrammingDots : texts_.Programming;
    StartBlockTransfer(bcWrite);
    RestartReplyTicks();
    RestartEraseTicks();
    Receiver.ReplyReceived = false;
    Changed();
  } else if (BytesRemaining <= 0 && Receiver.ReplyReceived) {
    RestartReplyTicks();
    RestartEraseTicks();
    BlockIndex = 0;
    UpgradeState = usIdle;
    StartVerifyPass();
    FinishAfterVerify = true;
  } else if (Elapsed(replySince_, WriteReplyLimit)) {
    Fail(texts_.ProgrammingFail, true);
  }
}

void UpgradeSequencer::VerifyingStep(int value) {
  if (BytesRemaining > 0 && Receiver.ReplyReceived) {
    RestartReplyTicks();
    RestartEraseTicks();
    // The unit returns the words asked for; the last block of a pass may be
    // a few bytes longer than its whole words, and those bytes lie past the
    // image's end, so they are not compared with what follows the data.
    const std::span<const std::uint8_t> block = ImageBlock(BlockLength / 4 * 4);
    // An answer without all of the block's bytes (an empty packet, one cut
    // short) has not returned the block: what it lacks reads as zeros.
    // The packet's checksum byte is stored after them.
    if (Receiver.Count < TCommandBuffer::HeaderSize + block.size() + 1 ||
        !std::equal(block.begin(), block.end(), Receiver.BootReply.begin() + TCommandBuffer::HeaderSize))
      return Fail(texts_.VerifyFail, true);
    BlockDone();
    BytesRemaining -= BlockLength;
    BlockIndex += 1;
    if (BytesRemaining <= 0) return;
    ShowBlock(value);
    Page.StatusText = value % 16 >= 8 ? texts_.VerifyingDots : texts_.Verifying;
    Receiver.ReplyReceived = false;
    StartBlockTransfer(bcRead);
    Changed();
  } else if (BytesRemaining <= 0 && Receiver.ReplyReceived) {
    BlockIndex = 0;
    RestartReplyTicks();
    RestartEraseTicks();
    UpgradeState = usIdle;
    if (!FinishAfterVerify) return;  // a verify pass of its own ends here, silently
    Receiver.ReplyReceived = false;
    BytesRemaining = firmware_.ProgramLength();
    SendBootPacket(CommandBuffer.BuildLengthCommand(firmware_.ProgramLength()));
    RestartReplyTicks();
    UpgradeState = usFinishing;
    FinishStep = 0;
    UpdateTimeLeft();
    Changed();
  } else if (Elapsed(replySince_, VerifyReplyLimit)) {
    Fail(texts_.VerifyFail, true);
  }
}

void UpgradeSequencer::ErasingStep() {
  if (Receiver.ReplyReceived) {
    UpgradeState = usIdle;
    RunTimerWhileWorking();
    boxes_.Show(texts_.EraseSuccess, texts_.Message, MsgButtons::OK, MsgIcon::None);
  } else if (Elapsed(eraseSince_, EraseReplyLimit)) {
    Fail(texts_.EraseFail, false);
  }
}

void UpgradeSequencer::FinishingStep() {
  // Nothing the unit answers matters here: the steps follow each other by time.
  if (FinishStep == 0 && Elapsed(replySince_, FinishGap)) {
    SendBootPacket(RunCommand);
    RestartReplyTicks();
    FinishStep = 1;
    UpdateTimeLeft();
    Changed();
  }
  if (FinishStep == 1 && Elapsed(replySince_, FinishGap)) EndFinishing(true);
}

void UpgradeSequencer::EndFinishing(bool sendNotice) {
  // The step moves on before the notice goes out: a notice that cannot be
  // written opens a box, and the ticks that come while it is open must not
  // send it again.
  FinishAfterVerify = false;
  RestartReplyTicks();
  FinishStep = 2;
  TpsSent = false;
  if (sendNotice) {
    // The notice is for the new application, which listens at the rate the
    // unit was connected at, not at the boot loader's.
    if (ChosenRate && ChosenRate() != BootLoaderRateCode && port_.Connected()) {
      try {
        port_.SetBaudRate(ChosenRate());
      } catch (const Exception&) {
        // The port has gone; the notice's write fails and says so.
      }
    }
    ProcessSentenceDataStore().TPS = {.Number = VersionNotice, .Text = firmware_.Version.substr(0, VersionNoticeText)};
    TpsSent = link_.SendSentence("P", "TPS");
  }
  Page.Notice = texts_.UpgradeFinished;
  Page.StatusText = texts_.Success;
  Page.FinishEnabled = true;
  Page.TimeLeft.clear();
  Changed();
}

void UpgradeSequencer::PortWentAway(const std::string& text, const std::string& caption) {
  switch (UpgradeState) {
    case usWriting:
    case usVerifying:
    case usErasing:
      break;
    case usFinishing:
      if (FinishStep == 2) return;
      if (FinishStep == 1) {
        PortGone = true;
        return EndFinishing(false);
      }
      break;
    default:
      return;
  }
  PortGone = true;
  // A time-out would come only seconds later, and blame the unit or its flash.
  Fail(text, UpgradeState != usErasing, caption);
}

UpgradeProgress UpgradeSequencer::Progress() const {
  using Seconds = std::chrono::duration<double>;
  UpgradeProgress p;
  const int length = std::max(firmware_.ProgramLength(), 0);
  p.BlocksTotal = passes_ * ((length + BlockSize - 1) / BlockSize);
  p.BlocksDone = UpgradeState == usFinishing ? p.BlocksTotal : blocksDone_;
  const double seconds = Seconds(Now() - passesSince_).count();
  if (seconds <= 0 || bytesDone_ <= 0) return p;
  p.BytesPerSecond = static_cast<double>(bytesDone_) / seconds;
  // The finishing steps wait out their two gaps whatever the line's speed.
  const double gap = Seconds(FinishGap * TickPeriod).count();
  double left;
  if (UpgradeState == usFinishing)
    left = std::max(0.0, (2 - FinishStep) * gap - Seconds(Now() - replySince_).count());
  else
    left = (static_cast<double>(passes_) * length - static_cast<double>(bytesDone_)) / p.BytesPerSecond +
           (passes_ == 2 ? 2 * gap : 0.0);
  p.TimeLeft = std::chrono::seconds(static_cast<long>(left + 0.999));
  return p;
}

void UpgradeSequencer::UpdateTimeLeft() {
  // Once a second or a few dozen blocks have been measured the rate means something.
  if (Now() - passesSince_ < std::chrono::seconds(1) && blocksDone_ < 32) return;
  if (auto left = Progress().TimeLeft) Page.TimeLeft = FormatTimeLeft(*left, texts_);
}
