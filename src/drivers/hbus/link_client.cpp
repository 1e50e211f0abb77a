#include "drivers/hbus/link_client.h"

#include <algorithm>

#include "base/frame_sink.h"
#include "drivers/diag_store.h"
#include "drivers/hbus/hbus_driver.h"
#include "link/hbus_frame.h"
#include "link/hbus_transport.h"
#include "link/wakeup.h"

namespace heatdiag::hbus {

LinkClient::LinkClient(Driver& driver, std::span<const PollEntry> table)
    : TablePollClient(driver, table), driver_(driver) {}

bool LinkClient::WakeUp() {
  HBusTransport& transport = driver_.transport;
  if (WakeShortPulse(transport.Port()) == 0) return false;
  transport.BusIdle().Set();
  transport.SetReceiverMode(kRxHeader);
  driver_.SetVersion(0);
  return true;
}

void LinkClient::ConnectionPassDone() {
  StoreSetDataValid();
}

std::uint32_t LinkClient::KeepAliveBit() const {
  return bit::kKeepAlive;
}

bool LinkClient::Housekeeping() {
  if (freeTelegramPending_.exchange(false)) return SendFreeTelegram();
  return true;
}

std::uint8_t LinkClient::ProtocolVersion() const {
  return driver_.Version();
}

std::optional<ReplyView> LinkClient::Exchange(std::span<const std::uint8_t> request) {
  NoteSent(request.empty() ? 0 : request[0]);
  HBusTransport& transport = driver_.transport;
  if (transport.SendTelegram(request.data(), request.size()) == 0) return std::nullopt;
  return ReplyView(transport.Reply());
}

void LinkClient::BeginSession() {
  freeTelegramPending_.store(false);
}

void LinkClient::SetLineConfigs(const PortConfig& hbus, const PortConfig& block) {
  hbusConfig_ = hbus;
  blockConfig_ = block;
}

void LinkClient::QueueFreeTelegram(const FreeTelegram& telegram) {
  {
    std::lock_guard lock(freeTelegramLock_);
    freeTelegram_ = telegram;
  }
  freeTelegramPending_.store(true);
}

void LinkClient::EnterBlockMode(std::uint32_t baudRate) {
  HBusTransport& transport = driver_.transport;
  transport.PauseReceiver();
  PortConfig config = blockConfig_;
  config.baudRate = baudRate;
  ConfigurePort(transport.Port(), config);
  transport.SetReceiverMode(kRxBlockFirst);
}

bool LinkClient::SendFreeTelegram() {
  FreeTelegram telegram;
  {
    std::lock_guard lock(freeTelegramLock_);
    telegram = freeTelegram_;
  }
  HBusTransport& transport = driver_.transport;
  const bool notify = telegram.viewAnswer != 0;
  if (notify) SendToFrame(UM_PROTOCOLSTART);
  const std::uint8_t requestHeader = transport.RequestHeader();
  const std::uint8_t replyHeader = transport.ReplyHeader();
  transport.SetRequestHeader(
      static_cast<std::uint8_t>((telegram.sourceAddress << 4) | (telegram.deviceAddress & 0x0F)));
  transport.SetReplyHeader(
      static_cast<std::uint8_t>((telegram.deviceAddress << 4) | (telegram.sourceAddress & 0x0F)));
  const std::size_t length = std::min<std::size_t>(telegram.length, kMaxRequestPayload);
  NoteSent(length > 0 ? telegram.data[0] : 0);
  const int sent = transport.SendTelegram(telegram.data.data(), length);
  transport.SetRequestHeader(requestHeader);
  transport.SetReplyHeader(replyHeader);
  if (notify) PostToFrame(UM_PROTOCOLSTOP);
  return sent != 0;
}

}  // namespace heatdiag::hbus
