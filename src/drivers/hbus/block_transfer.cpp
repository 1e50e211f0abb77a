// The EEPROM block transfer of D00 (worker states 8 to 12): after the block-mode switch the line
// runs at the block rate and every cell is one short frame: 05 bank, 03 address (read),
// 04 address value (write); 09 (twice on 3.0 and 3.1) ends block mode.
#include <optional>

#include "base/frame_sink.h"
#include "dataset/dataset_image.h"
#include "dataset/dataset_texts.h"
#include "drivers/hbus/decode.h"
#include "drivers/hbus/hbus_driver.h"
#include "drivers/hbus/link_client.h"
#include "link/hbus_transport.h"
#include "link/link_texts.h"
#include "link/timing.h"

namespace heatdiag::hbus {
namespace {

constexpr std::uint32_t kBlockEndPauseMs = 50;

constexpr std::uint8_t kBlockRead = 0x03;
constexpr std::uint8_t kBlockWrite = 0x04;
constexpr std::uint8_t kBlockBank = 0x05;
constexpr std::uint8_t kBlockEnd = 0x09;

}  // namespace

WorkerState LinkClient::BlockStep(WorkerState state) {
  blockNext_ = state;
  switch (state) {
    case WorkerState::kReadStart:
      StartCellTransfer(false);
      break;
    case WorkerState::kReadCells:
      ReadNextCell();
      break;
    case WorkerState::kWriteStart:
      StartCellTransfer(true);
      break;
    case WorkerState::kWriteCells:
      WriteNextCell();
      break;
    case WorkerState::kBlockEnd:
      EndBlockMode();
      break;
    default:
      blockNext_ = WorkerState::kBlockEnd;
      break;
  }
  return blockNext_;
}

void LinkClient::StartCellTransfer(bool write) {
  const DatasetRequest* request = datasetRequest_.load();
  if (request == nullptr || request->cells == nullptr) {
    EndTransfer(1);
    return;
  }
  blockError_ = 0;
  cellIndex_ = request->first;
  blockNext_ = write ? WorkerState::kWriteCells : WorkerState::kReadCells;
}

void LinkClient::EndTransfer(std::uint32_t error) {
  // The waiting operation is released in state 12, after the end frame: a session that ends
  // as soon as the operation returns must not leave the unit in block mode.
  blockError_ = error;
  blockNext_ = WorkerState::kBlockEnd;
}

bool LinkClient::SelectBank(std::uint8_t bank) {
  if (bank == currentBank_.load()) return true;
  // Only units from 3.2 on can switch the page.
  if (driver_.Version() < kVersion32) {
    // The walk cannot go on; the cells behind stay untransferred, so it is a failure.
    ShowThreadError(kTextPageNotSelectable, static_cast<long>(bank));
    EndTransfer(1);
    return false;
  }
  HBusTransport& transport = driver_.transport;
  const std::uint8_t frame[] = {kBlockBank, bank};
  if (transport.SendBlockFrame(frame, sizeof frame) == 0) {
    EndTransfer(1);
    return false;
  }
  const ReplyView reply(transport.Reply());
  if (reply.ByteAt(0) != kBlockBank) {
    ShowThreadError(kTextInvalidResponse);
    EndTransfer(1);
    return false;
  }
  currentBank_.store(bank);
  return true;
}

DatasetCell* LinkClient::NextCell(std::uint8_t pendingFlag) {
  DatasetRequest* request = datasetRequest_.load();
  if (request == nullptr || request->cells == nullptr) {
    EndTransfer(1);
    return nullptr;
  }
  while (cellIndex_ < request->end && (request->cells[cellIndex_].flags & pendingFlag) == 0)
    ++cellIndex_;
  if (cellIndex_ >= request->end) {
    EndTransfer(0);
    return nullptr;
  }
  if (!SelectBank(static_cast<std::uint8_t>(cellIndex_ >> 8))) return nullptr;
  DatasetCell& cell = request->cells[cellIndex_];
  cell.flags &= static_cast<std::uint8_t>(~pendingFlag);
  if (request->currentAddress != nullptr) request->currentAddress->store(cellIndex_);
  return &cell;
}

// Sends one cell frame; the answer echoes the command (from 3.0) and the address before the
// cell's value. Returns that value, or nullopt when the transfer has ended.
std::optional<std::uint8_t> LinkClient::ExchangeCell(const std::uint8_t* frame, std::size_t n) {
  HBusTransport& transport = driver_.transport;
  if (transport.SendBlockFrame(frame, n) == 0) {
    EndTransfer(1);
    return std::nullopt;
  }
  const ReplyView reply(transport.Reply());
  const bool v3 = driver_.Version() >= kVersion30;
  const std::uint8_t command = frame[0];
  const std::uint8_t address = frame[1];
  const bool matches =
      v3 ? reply.Has(0, 3) && reply.ByteAt(0) == command && reply.ByteAt(1) == address
         : reply.Has(0, 2) && reply.ByteAt(0) == address;
  if (!matches) {
    ShowThreadError(kTextInvalidResponse);
    EndTransfer(1);
    return std::nullopt;
  }
  return reply.ByteAt(v3 ? 2 : 1);
}

void LinkClient::ReadNextCell() {
  DatasetCell* cell = NextCell(CELL_READ);
  if (cell == nullptr) return;
  const std::uint8_t frame[] = {kBlockRead, static_cast<std::uint8_t>(cellIndex_ & 0xFF)};
  const std::optional<std::uint8_t> value = ExchangeCell(frame, sizeof frame);
  if (!value) return;
  cell->value = *value;
  cell->alt = *value;
  cell->flags = static_cast<std::uint8_t>((cell->flags | CELL_VALID) & ~CELL_CHANGED);
  ++cellIndex_;
}

void LinkClient::WriteNextCell() {
  DatasetCell* cell = NextCell(CELL_WRITE);
  if (cell == nullptr) return;
  const std::uint8_t frame[] = {kBlockWrite, static_cast<std::uint8_t>(cellIndex_ & 0xFF),
                                cell->value};
  const std::optional<std::uint8_t> written = ExchangeCell(frame, sizeof frame);
  if (!written) return;
  if (*written != cell->value) {
    ShowThreadError(kTextEepromWriteFailed);
    EndTransfer(1);
    return;
  }
  cell->flags &= static_cast<std::uint8_t>(~CELL_CHANGED);
  ++cellIndex_;
}

void LinkClient::EndBlockMode() {
  const std::uint32_t error = blockError_;
  blockError_ = 0;
  LinkWorker& link = driver_.link;
  if (link.ProbeMode()) {
    link.SetProbeFailed(true);
    blockNext_ = WorkerState::kIdle;
    link.FinishDataset(1);
    return;
  }
  SleepMs(kBlockEndPauseMs);
  const std::uint8_t version = driver_.Version();
  const bool twice = version == kVersion30 || version == kVersion31;
  const std::uint8_t frame[] = {kBlockEnd, kBlockEnd};
  HBusTransport& transport = driver_.transport;
  const bool ended = transport.SendBlockFrame(frame, twice ? 2 : 1) != 0;
  transport.PauseReceiver();
  ConfigurePort(transport.Port(), hbusConfig_);
  transport.SetReceiverMode(kRxHeader);
  blockNext_ = WorkerState::kRequests;
  link.FinishDataset(ended ? error : 1);
}

}  // namespace heatdiag::hbus
