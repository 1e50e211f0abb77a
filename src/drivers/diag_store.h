// The diagnosis data store: the one place where a session's decoded values live.
//
// A driver's telegram handlers write values by row number of the driver's parameter catalogue,
// converting from the wire format to the row's kind; views, report and service dialogs read them
// back in the form they need. Per row the store keeps the current value, the value last
// announced, the shown and present flags and the graph range, which widens when a value leaves
// it. Windows subscribe to groups of rows (view mask bits) and are posted a message whenever a
// row of their group changes.
//
// Every operation takes the one store mutex and releases it before returning; messages are
// posted and string loads done after the mutex has been released, so a subscriber may call back
// into the store from its Post.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "base/messages.h"
#include "drivers/catalogue/parameter.h"

namespace heatdiag {

// Source and target formats of StoreWrite / StoreRead (the low 16 bits of the format argument).
enum StoreFormat : std::uint32_t {
  kStoreU8 = 0,
  kStoreS8 = 1,
  kStoreU16 = 2,
  kStoreS16 = 3,
  kStoreU32 = 4,
  kStoreS32 = 5,
  kStoreDouble = 6,
  kStoreText = 7,  // NUL-terminated text
  kStoreHex = 8,   // raw bytes, held in a text row as upper-case hex digits, high nibble first
  // Flags of the format argument.
  kStoreBigEndian = 0x80000000u,  // the 16- or 32-bit number is big-endian
  kStoreLowerBound = 0x10000,     // reading with formats 4, 5, 6: the graph range's low end
  kStoreUpperBound = 0x20000,     //   ... its high end
  kStoreResolution = 0x40000,     //   ... the row's step
};

// Texts of the store (string ids).
inline constexpr std::uint32_t kTextInsufficientMemory = 31000;  // "Insufficient free memory!"

// Most subscriptions the store keeps.
inline constexpr std::size_t kStoreSubscriberCount = 10;

// A session's store refuses catalogues whose values would need more than this.
inline constexpr std::size_t kStoreMaxAreaBytes = 16u * 1024u * 1024u;

// A graph range field: integer rows (kinds 0, 1) use `integer`, real rows `real`.
struct StoreNumber {
  std::int64_t integer = 0;
  double real = 0.0;
};

// One row of a session: the catalogue row as copied (its size raised to what the kind needs),
// then the value state.
struct StoreRow {
  ParameterDescriptor descriptor;
  std::uint8_t* value = nullptr;     // descriptor.size bytes in the value area
  std::uint8_t* previous = nullptr;  // descriptor.size bytes: the value last announced
  bool shown = false;                // views show a value only when shown and present
  bool present = false;              // the control unit supports the row
  StoreNumber lower;                 // graph range
  StoreNumber upper;
  StoreNumber resolution;
};

struct StoreSubscriber {
  MessageTarget* window = nullptr;  // nullptr = free entry
  std::intptr_t userValue = 0;      // second message parameter
  std::uint32_t groupMask = 0;
};

// The store-wide state. There is one, owned by diag_store.cpp; reach it through the functions
// below only.
struct DiagStore {
  std::mutex mutex;
  std::uint32_t rowCount = 0;  // 0: no session data
  StoreRow* rows = nullptr;
  std::uint8_t* valueArea = nullptr;
  std::uint8_t* previousArea = nullptr;
  bool dataValid = false;
  StoreSubscriber subscribers[kStoreSubscriberCount];
};

// Program start: clears the subscriptions and any session data. Also the reset for tests.
void StoreStartup();
// Program exit: releases the session data, if any.
void StoreShutdown();

// Makes one row per catalogue row for a new session and posts UM_DATAINIT (row count) to every
// subscriber. Returns 0 without change when session data exists or the catalogue is empty;
// shows "Insufficient free memory!" and returns 0 when the rows cannot be allocated.
int StoreInit(ParameterCatalogue catalogue);
// Ends the session's data: posts UM_DATARELEASED to every subscriber when there was any.
void StoreRelease();

// The connection pass is complete: sets data valid and posts UM_DATAREADY to every subscriber.
void StoreSetDataValid();
bool StoreIsDataValid();

// Rows of the session, 0 when there is no session data.
std::uint32_t StoreRowCount();

// Writes a value into a row, converting from the source format to the row's kind; widens the
// row's graph range and posts UM_VALUECHANGED to the row's subscribers when the value changed.
//   formats 0-6: a number of that type at `source` (`length` is not used);
//   format 7:    text of `length` characters (ending earlier at a NUL), parsed for numeric rows;
//   format 8:    `length` hex digits from the bytes at `source`; text rows only.
// Returns 0 for a row outside the session, an unknown format or raw bytes to a numeric row.
int StoreWrite(std::uint32_t row, std::uint32_t format, std::uint32_t length, const void* source);

// Reads a row into `target`, converting to the target format:
//   formats 0-6: a number of that type (with kStoreLowerBound / kStoreUpperBound /
//                kStoreResolution for formats 4-6: the range field instead of the value);
//   format 7:    display text, at most `length` bytes including the NUL;
//   format 8:    the bytes of a text row's hex digits; `length` digits, 0 = the whole text.
// Returns 0 for a row outside the session (numeric targets are zeroed, text targets emptied),
// an unknown format or format 8 from a numeric row.
int StoreRead(std::uint32_t row, std::uint32_t format, std::uint32_t length, void* target);

// Shown and present flags: the setters return the old flag and post UM_SHOWNCHANGED /
// UM_PRESENTCHANGED when it changed. A row outside the session reads 0 and is not written.
int StoreGetShown(std::uint32_t row);
int StoreSetShown(std::uint32_t row, int flag);
int StoreGetPresent(std::uint32_t row);
int StoreSetPresent(std::uint32_t row, int flag);

// 1 when the row's view mask shares a bit with `mask`.
int StoreRowInGroup(std::uint32_t row, std::uint32_t mask);
std::uint32_t StoreGetViewMask(std::uint32_t row);

// The row's name: shortName = 0 the long name (up to the first line feed), else the short name
// (after it, or the whole name when it has none); copied bounded by `size`. 0 when the row or
// its name does not exist.
int StoreGetName(std::uint32_t row, char* buffer, std::size_t size, int shortName);
// The row's unit text bounded by `size`; returns its length (0 = no unit).
std::size_t StoreGetUnit(std::uint32_t row, char* buffer, std::size_t size);

// The same as strings.
std::string StoreGetName(std::uint32_t row, NameForm form);
std::string StoreGetUnit(std::uint32_t row);
// The display text of a row (format 7); empty for a row outside the session.
std::string StoreReadText(std::uint32_t row);
// Writes a text (format 7).
int StoreWriteText(std::uint32_t row, std::string_view text);

// Subscribes a window to the rows whose view mask shares a bit with `groupMask`. A window
// already subscribed keeps its entry. A full table refuses further windows silently. While
// data valid is set the window is posted UM_DATAREADY at once.
void StoreSubscribe(MessageTarget* window, std::uint32_t groupMask, std::intptr_t userValue);
void StoreUnsubscribe(MessageTarget* window);

}  // namespace heatdiag
