#pragma once
// The upgrade itself: puts the unit into its boot loader, writes the
// firmware image block by block, reads every block back and compares it,
// tells the boot loader the programmed length, starts the new application
// and sends it the new version text. Also the engineering page's single
// operations (write, verify, erase, run).
//
// A state machine stepped by the 1 ms PIC_Timer, which runs only while the
// sequencer has work. One request is outstanding
// at a time; the packet receiver's ReplyReceived says that its answer came.
// The limits and gaps are times on a steady clock: each is its count of
// window-timer ticks as the unit's makers measured them, a tick being the
// 15.625 ms at which their platform delivered a 1 ms window timer.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "comm/CommTypes.h"
#include "common/MessageBoxes.h"
#include "common/WizardTimer.h"
#include "device/BootPacket.h"
#include "device/DeviceLink.h"
#include "device/FirmwareImage.h"
#include "device/UnitPort.h"
#include "lang/LanguageTexts.h"

enum TUpgradeState { usIdle = 0, usWriting = 1, usVerifying = 2, usErasing = 3, usFinishing = 4 };

// What the progress page shows. The sequencer keeps it; the window (or the
// command-line tool) draws it whenever OnChanged is raised.
struct ProgressPage {
  int Position = 0;         // ProgressBar1 (its maximum is the firmware's TotalBlocks)
  std::string ValueText;    // LabelProgressValue, "%d/%d"
  std::string StatusText;   // LabelProgressStatusText
  std::string Notice;       // StaticText1
  bool FinishEnabled = true;  // SpeedButtonFrmUpgFinish
  std::string TimeLeft;     // LabelProgressTimeLeft, below the bar
};

// How far an upgrade has come, for a progress bar of the command-line tool.
struct UpgradeProgress {
  int BlocksDone = 0;   // of both passes, the verify pass after the write pass
  int BlocksTotal = 0;
  double BytesPerSecond = 0;  // of image data through the unit
  std::optional<std::chrono::seconds> TimeLeft;  // once a rate has been measured
};

class UpgradeSequencer {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::microseconds TickPeriod{15625};
  // Limits and gaps, in ticks.
  static constexpr int WriteReplyLimit = 300;   // an acknowledgement of a write
  static constexpr int VerifyReplyLimit = 200;  // a block read back
  static constexpr int EraseReplyLimit = 120;   // the acknowledgement of the erase
  static constexpr int FinishGap = 200;         // length to run, run to the version notice
  static constexpr std::chrono::milliseconds BootLoaderPause{500};
  static constexpr int BootLoaderRateCode = br38400;
  static constexpr int BlockSize = 512;

  // texts: the language of the page's texts and the messages.
  UpgradeSequencer(UnitPort& port, DeviceLink& link, const FirmwareFile& firmware, MessageBoxes& boxes,
                   const LanguageTexts& texts = EnglishTexts());

  int UpgradeState = usIdle;
  int32_t BytesRemaining = 0;
  int16_t BlockIndex = 0;
  int32_t BlockLength = 0;
  bool FinishAfterVerify = false;
  uint8_t FinishStep = 0;
  TCommandBuffer CommandBuffer;
  TBootReceiver Receiver;  // fed every received byte; holds ReplyReceived
  ProgressPage Page;
  // The closing version notice went out: the upgrade is complete.
  bool TpsSent = false;
  // The last operation ended with a failure message.
  bool Failed = false;
  // ... because its port went away.
  bool PortGone = false;

  // The serial-port page's choices: the rate code of cbxBaudRate and the
  // text of cbxComPort, by which the port is reopened for the boot loader.
  std::function<int()> ChosenRate;
  std::function<std::string()> ChosenPort;
  // Makes the progress page the active page.
  std::function<void()> ShowProgressPage;
  // Back to the welcome page, ending the connection; after a failed pass.
  std::function<void()> ResetWizard;
  // The port did not open again at the boot loader's rate: the window
  // shows its port-open error.
  std::function<void()> PortOpenFailed;
  // A blocking wait; the window may keep painting meanwhile.
  std::function<void(std::chrono::milliseconds)> Pause;
  // Page changed.
  std::function<void()> OnChanged;
  // PIC_Timer, when the host hands it over: the sequencer runs it while a
  // pass or the finishing steps have work and stops it when they end, so an
  // idle wizard is not woken a thousand times a second. The limits and gaps
  // are measured on the clock, not counted in ticks, so this changes none of
  // them. Without one the host's own timer steps PIC_TimerTimer throughout.
  WizardTimer* PIC_Timer = nullptr;
  // The steady clock, so tests step time with the ticks.
  std::function<Clock::time_point()> Now = [] { return Clock::now(); };

  // Yes on the version page: a whole upgrade. False, with the firmware's
  // reason in a box and nothing sent, when the file is not fit to flash;
  // false too, after the port-open error and back at the start, when the
  // port does not open again at the boot loader's rate.
  bool SpeedButtonFrmVerWantToContinueYesClick();
  // The same for a unit already waiting in its boot loader on the open
  // port: no boot-loader request, no pauses.
  bool StartRecovery();
  // The engineering page: a write pass (going on into verification and the
  // finishing steps), a verify pass alone, an erase, the run command.
  bool SpeedButton_WritePICFlashClick();
  void SpeedButton_VerifyPICFlashClick();
  void SpeedButton_ErasePICFlashClick();
  void SpeedButton_RunToApplicationClick();
  void PIC_TimerTimer();
  void ResetUpgradeCounters();
  // The port went away under an operation (its device removed, a hang-up,
  // an I/O error): nothing more reaches the unit, so nothing is waited for.
  // A pass, or the finishing steps before the run command has gone out,
  // ends at once with text under caption, the unit being left in its boot
  // loader. Once the run command is out, the finishing steps end without
  // the version notice (TpsSent stays false), as nobody knows whether the
  // unit took the command. Nothing happens while no operation runs.
  void PortWentAway(const std::string& text, const std::string& caption);

  void SendBootPacket(std::span<const std::uint8_t> payload);
  // Builds the request for block BlockIndex of the pass, BlockLength being
  // 512 or what remains; for a write, sends it.
  void StartBlockTransfer(BootCommand command);

  bool Succeeded() const { return UpgradeState == usFinishing && FinishStep == 2; }
  // A tick would do something: a pass runs, or the finishing steps have not
  // all been taken.
  bool HasWork() const;
  UpgradeProgress Progress() const;

 private:
  bool RefuseUnfitFirmware();
  void ShowUpgradeStarting();
  void StartProgramming();
  void StartWritePass();
  void StartVerifyPass();
  void BlockDone();
  void WritingStep(int value);
  void VerifyingStep(int value);
  void ErasingStep();
  void FinishingStep();
  // The last finishing step: the version notice (unless the port has gone)
  // and the finished page.
  void EndFinishing(bool sendNotice);
  void Fail(const std::string& text, bool resetWizard, const std::string& caption);
  void Fail(const std::string& text, bool resetWizard) { Fail(text, resetWizard, texts_.Warning); }
  void ShowBlock(int value);
  // Where block BlockIndex lies in the image, and its bytes there, at most
  // length of them.
  std::size_t BlockOffset() const;
  std::span<const std::uint8_t> ImageBlock(int32_t length) const;
  // The limits' clocks: since the last request or acknowledgement, and
  // since the erase command (also restarted by the write and verify steps).
  void RestartReplyTicks();
  void RestartEraseTicks();
  bool Elapsed(Clock::time_point since, int ticks) const;
  // The time left is estimated over passes passes from now on.
  void StartTiming(int passes);
  void UpdateTimeLeft();
  void Changed();
  // PIC_Timer on exactly while there is work.
  void RunTimerWhileWorking();

  UnitPort& port_;
  DeviceLink& link_;
  const FirmwareFile& firmware_;
  MessageBoxes& boxes_;
  const LanguageTexts& texts_;
  Clock::time_point replySince_{};
  Clock::time_point eraseSince_{};
  Clock::time_point passesSince_{};  // start of the passes whose time is estimated
  int passes_ = 0;                   // 2 for write and verify, 1 for a verify pass alone
  int blocksDone_ = 0;               // blocks acknowledged in those passes
  int64_t bytesDone_ = 0;
};
