// D00's side of the link worker: its poll table run over the H-Bus transport, the short wake-up
// pulse, the keep-alive row, the free telegram sent at housekeeping and the EEPROM block
// transfer of states 8 to 12 (block_transfer.cpp).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>

#include "drivers/hbus/reply_view.h"
#include "link/serial_port.h"
#include "link/table_poll_client.h"
#include "service/free_telegram.h"

namespace heatdiag {
struct DatasetCell;
struct DatasetRequest;
}  // namespace heatdiag

namespace heatdiag::hbus {

class Driver;

// One row of the H-Bus poll table.
using PollEntry = PollRow<Driver, ReplyView>;

class LinkClient final : public TablePollClient<Driver, ReplyView> {
 public:
  LinkClient(Driver& driver, std::span<const PollEntry> table);

  // --- PollClient ----------------------------------------------------------------------------
  bool WakeUp() override;
  void ConnectionPassDone() override;
  std::uint32_t KeepAliveBit() const override;
  bool Housekeeping() override;
  WorkerState BlockStep(WorkerState state) override;
  std::uint8_t ProtocolVersion() const override;
  std::optional<ReplyView> Exchange(std::span<const std::uint8_t> request) override;

  // --- Session -------------------------------------------------------------------------------
  // Forgets what a previous session left queued.
  void BeginSession();
  // The line settings of the H-Bus and of block mode.
  void SetLineConfigs(const PortConfig& hbus, const PortConfig& block);
  const PortConfig& HBusConfig() const { return hbusConfig_; }
  const PortConfig& BlockConfig() const { return blockConfig_; }

  // The command byte of the telegram last sent (handlers compare the answer with it).
  std::uint8_t SentCommand() const { return sentCommand_; }
  void NoteSent(std::uint8_t command) { sentCommand_ = command; }

  // --- Hand-overs ----------------------------------------------------------------------------
  void SetDatasetRequest(DatasetRequest* request) { datasetRequest_.store(request); }
  DatasetRequest* CurrentDatasetRequest() const { return datasetRequest_.load(); }
  // Copies the telegram; the worker sends it at its next housekeeping step.
  void QueueFreeTelegram(const FreeTelegram& telegram);
  bool FreeTelegramPending() const { return freeTelegramPending_.load(); }
  // The EEPROM bank last selected in block mode.
  std::uint8_t CurrentBank() const { return currentBank_.load(); }
  void SetCurrentBank(std::uint8_t bank) { currentBank_.store(bank); }

  // Switches the line to block mode at the given rate (handlers of the block-mode request).
  void EnterBlockMode(std::uint32_t baudRate);

 private:
  bool SendFreeTelegram();

  // Block transfer (block_transfer.cpp); each sets blockNext_ where the walk goes on.
  void StartCellTransfer(bool write);
  // The next cell of the dataset request that still carries `pendingFlag`, its bank selected
  // and the flag cleared; nullptr when the transfer has ended.
  DatasetCell* NextCell(std::uint8_t pendingFlag);
  std::optional<std::uint8_t> ExchangeCell(const std::uint8_t* frame, std::size_t n);
  void ReadNextCell();
  void WriteNextCell();
  void EndTransfer(std::uint32_t error);
  bool SelectBank(std::uint8_t bank);
  void EndBlockMode();

  Driver& driver_;
  std::uint8_t sentCommand_ = 0;

  std::atomic<DatasetRequest*> datasetRequest_{nullptr};
  std::atomic<std::uint8_t> currentBank_{0};
  // Result of the block walk, handed to the waiting operation once the end frame has gone out.
  std::uint32_t blockError_ = 0;
  std::uint32_t cellIndex_ = 0;
  WorkerState blockNext_ = WorkerState::kRequests;

  std::mutex freeTelegramLock_;
  FreeTelegram freeTelegram_{};
  std::atomic<bool> freeTelegramPending_{false};

  PortConfig hbusConfig_;
  PortConfig blockConfig_;
};

}  // namespace heatdiag::hbus
