#include "wizard/BootLoaderRescue.h"

#include "common/BaudRates.h"

BootLoaderRescue::BootLoaderRescue(UnitPort& port, Connection& conn, UpgradeSequencer& upgrade,
                                   const FirmwareFile& firmware, MessageBoxes& boxes,
                                   const LanguageTexts& texts)
    : port_(port), conn_(conn), upgrade_(upgrade), firmware_(firmware), boxes_(boxes), texts_(texts) {}

void BootLoaderRescue::AttemptTimedOut(const std::vector<std::string>& ports) {
  if (!OnFound || !WaitUntil) return;
  // The failed attempt ends now, so that its port is free to be asked.
  conn_.EndFailedAttempt();
  if (auto found = FindBootLoader(ports)) OnFound(*found);
}

std::optional<std::string> BootLoaderRescue::FindBootLoader(const std::vector<std::string>& ports) {
  std::optional<std::string> found;
  for (const std::string& port : ports) {
    if (!ReopenComPort(port_, port, UpgradeSequencer::BootLoaderRateCode)) continue;
    TBootReceiver& receiver = upgrade_.Receiver;
    receiver = TBootReceiver{};
    upgrade_.SendBootPacket(upgrade_.CommandBuffer.BuildReadRequest(BootFlashBase, UpgradeSequencer::BlockSize));
    // An empty packet is no answer here: a stray "U" and end byte would pass for one.
    const bool answered = WaitUntil([&] { return receiver.ReplyReceived && receiver.Count > 1; }, AnswerWait);
    port_.Close();
    receiver.ReplyReceived = false;
    if (answered) {
      found = port;
      break;
    }
  }
  // The port keeps the rate the serial-port page shows.
  port_.SetBaudRate(BaudChoices[conn_.Page.BaudRateIndex]);
  return found;
}

bool BootLoaderRescue::OfferRecovery(const std::string& port) {
  const std::string question =
      FillIn(texts_.RescueFound, {port}) + "\n\n" + FillIn(texts_.RescueQuestion, {firmware_.Version});
  if (boxes_.Show(question, texts_.Warning, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes)
    return false;
  return StartRecovery(port);
}

bool BootLoaderRescue::StartRecovery(const std::string& port) {
  if (!firmware_.FitToFlash()) return upgrade_.StartRecovery();  // refuses with the reason
  if (!ReopenComPort(port_, port, UpgradeSequencer::BootLoaderRateCode)) {
    boxes_.Show(FillIn(texts_.RescuePortNotOpen, {port}), texts_.Error, MsgButtons::OK, MsgIcon::Error);
    return false;
  }
  conn_.AdoptPort(port);
  // Auto mode left the rate list at the last rate it tried; the new
  // application most likely listens where the boot loader does.
  if (conn_.Page.AutoMode) conn_.Page.BaudRateIndex = BaudChoicePosition(UpgradeSequencer::BootLoaderRateCode);
  return upgrade_.StartRecovery();
}
