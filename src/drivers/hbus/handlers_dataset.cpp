// EEPROM cells, one telegram per cell, and the switch to block mode.
#include <algorithm>
#include <optional>

#include "base/frame_sink.h"
#include "dataset/dataset_image.h"
#include "drivers/hbus/decode.h"
#include "drivers/hbus/handlers.h"
#include "drivers/hbus/hbus_driver.h"
#include "link/link_texts.h"

namespace heatdiag::hbus {
namespace {

constexpr std::uint8_t kReadCell = 0x32;
constexpr std::uint8_t kWriteCell = 0x33;
constexpr std::uint8_t kBlockMode = 0x34;

// The next cell from `from` on that carries the mark.
std::optional<std::uint32_t> NextMarked(const DatasetRequest* request, std::uint32_t from,
                                        std::uint8_t mark) {
  if (request == nullptr || request->cells == nullptr) return std::nullopt;
  for (std::uint32_t i = std::max<std::uint32_t>(from, request->first); i < request->end; ++i)
    if ((request->cells[i].flags & mark) != 0) return i;
  return std::nullopt;
}

void Publish(const DatasetRequest* request, std::uint32_t address) {
  if (request != nullptr && request->currentAddress != nullptr)
    request->currentAddress->store(address);
}

void PutAddress(Work work, std::uint32_t address) {
  work[1] = static_cast<std::uint8_t>(address >> 8);
  work[2] = static_cast<std::uint8_t>(address & 0xFF);
}

// The cell of the walk that the last telegram was about, or nullptr when the request is gone.
DatasetCell* WalkCell(Driver& d) {
  DatasetRequest* request = d.client.CurrentDatasetRequest();
  if (request == nullptr || request->cells == nullptr || d.state.cellCursor >= request->end)
    return nullptr;
  return &request->cells[d.state.cellCursor];
}

EntryResult FailTransfer(Driver& d, std::uint32_t textId) {
  ShowThreadError(textId);
  d.state.singleCell.active = false;
  d.link.FinishDataset(1);
  return EntryResult::kDone;
}

std::size_t BuildBlock(Driver& d, Work work, std::uint8_t mark) {
  DatasetRequest* request = d.client.CurrentDatasetRequest();
  if (request == nullptr || request->cells == nullptr) {
    d.link.FinishDataset(1);
    return 0;
  }
  const auto first = NextMarked(request, request->first, mark);
  if (!first) {
    d.link.FinishDataset(0);
    return 0;
  }
  const auto page = static_cast<std::uint8_t>(*first >> 8);
  d.state.currentPage = page;
  d.client.SetCurrentBank(page);
  const BlockRate rate = BlockRateFor(d.Version(), d.client.BlockConfig().baudRate);
  d.state.blockBaudRate = rate.baudRate;
  work[1] = rate.code;
  work[2] = page;
  return 3;
}

EntryResult HandleBlock(Driver& d, const ReplyView& reply, EntryResult phase) {
  if (ShowNakIfAny(reply)) {
    d.link.FinishDataset(1);
    return EntryResult::kDone;
  }
  if (!reply.Answers(kBlockMode)) {
    d.link.FinishDataset(1);
    return InvalidResponse();
  }
  if (reply.DataLength() != 1) {
    d.link.FinishDataset(1);
    return InvalidLength();
  }
  d.client.EnterBlockMode(d.state.blockBaudRate);
  return phase;
}

}  // namespace

BlockRate BlockRateFor(std::uint8_t version, std::uint32_t baudRateSet) {
  if (version >= kVersion30) {
    const std::uint32_t code = std::clamp<std::uint32_t>(baudRateSet / 300, 1, 255);
    return {code * 300, static_cast<std::uint8_t>(code)};
  }
  if (baudRateSet >= 9600) return {9600, 0x96};
  if (baudRateSet >= 4800) return {4800, 0x48};
  return {2400, 0x24};
}

std::size_t BuildReadCell(Driver& d, Work work, std::size_t) {
  DriverState& state = d.state;
  std::uint32_t address = state.singleCell.address;
  if (!state.singleCell.active) {
    DatasetRequest* request = d.client.CurrentDatasetRequest();
    const auto next = NextMarked(request, state.cellCursor, CELL_READ);
    if (!next) {
      d.link.FinishDataset(0);
      return 0;
    }
    request->cells[*next].flags &= static_cast<std::uint8_t>(~CELL_READ);
    state.cellCursor = *next;
    Publish(request, *next);
    address = *next;
  }
  PutAddress(work, address);
  return 3;
}

EntryResult HandleReadCell(Driver& d, const ReplyView& reply) {
  DriverState& state = d.state;
  const bool single = state.singleCell.active;
  const std::uint32_t address = single ? state.singleCell.address : state.cellCursor;
  if (ShowNakIfAny(reply)) {
    state.singleCell.active = false;
    d.link.FinishDataset(1);
    return EntryResult::kDone;
  }
  if (!reply.Answers(kReadCell) || reply.DataLength() != 3 || reply.Word16At(3) != address)
    return FailTransfer(d, kTextInvalidResponse);
  const std::uint8_t value = reply.ByteAt(5);
  if (single) {
    state.singleCell.value = value;
    state.singleCell.active = false;
    d.link.FinishDataset(0);
    return EntryResult::kDone;
  }
  DatasetCell* cell = WalkCell(d);
  if (cell == nullptr) {
    d.link.FinishDataset(1);
    return EntryResult::kDone;
  }
  cell->value = value;
  cell->alt = value;
  cell->flags = static_cast<std::uint8_t>((cell->flags | CELL_VALID) & ~CELL_CHANGED);
  ++state.cellCursor;
  d.link.Request(bit::kReadCell);
  return EntryResult::kRepeat;
}

std::size_t BuildWriteCell(Driver& d, Work work, std::size_t) {
  DriverState& state = d.state;
  std::uint32_t address = state.singleCell.address;
  std::uint8_t value = state.singleCell.value;
  if (!state.singleCell.active) {
    DatasetRequest* request = d.client.CurrentDatasetRequest();
    const auto next = NextMarked(request, state.cellCursor, CELL_WRITE);
    if (!next) {
      d.link.FinishDataset(0);
      return 0;
    }
    DatasetCell& cell = request->cells[*next];
    cell.flags &= static_cast<std::uint8_t>(~CELL_WRITE);
    state.cellCursor = *next;
    Publish(request, *next);
    address = *next;
    value = cell.value;
  }
  PutAddress(work, address);
  work[3] = value;
  return 4;
}

EntryResult HandleWriteCell(Driver& d, const ReplyView& reply) {
  DriverState& state = d.state;
  const bool single = state.singleCell.active;
  const std::uint32_t address = single ? state.singleCell.address : state.cellCursor;
  DatasetCell* cell = single ? nullptr : WalkCell(d);
  if (!single && cell == nullptr) {
    d.link.FinishDataset(1);
    return EntryResult::kDone;
  }
  const std::uint8_t value = single ? state.singleCell.value : cell->value;
  if (ShowNakIfAny(reply)) {
    state.singleCell.active = false;
    d.link.FinishDataset(1);
    return EntryResult::kDone;
  }
  if (!reply.Answers(kWriteCell) || reply.DataLength() != 3 || reply.Word16At(3) != address ||
      reply.ByteAt(5) != value)
    return FailTransfer(d, kTextEepromWriteFailed);
  if (single) {
    state.singleCell.active = false;
    d.link.FinishDataset(0);
    return EntryResult::kDone;
  }
  cell->flags &= static_cast<std::uint8_t>(~CELL_CHANGED);
  ++state.cellCursor;
  d.link.Request(bit::kWriteCell);
  return EntryResult::kRepeat;
}

std::size_t BuildBlockRead(Driver& d, Work work, std::size_t) {
  return BuildBlock(d, work, CELL_READ);
}

std::size_t BuildBlockWrite(Driver& d, Work work, std::size_t) {
  return BuildBlock(d, work, CELL_WRITE);
}

EntryResult HandleBlockRead(Driver& d, const ReplyView& reply) {
  return HandleBlock(d, reply, EntryResult::kDatasetRead);
}

EntryResult HandleBlockWrite(Driver& d, const ReplyView& reply) {
  return HandleBlock(d, reply, EntryResult::kDatasetWrite);
}

}  // namespace heatdiag::hbus
