#include "drivers/diag_store.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string_view>

#include "base/frame_sink.h"
#include "base/string_table.h"

namespace heatdiag {
namespace {

DiagStore g_store;

// Set while this thread holds the store mutex. A MessageTarget whose Post called back into the
// store would otherwise lock the mutex a second time; such calls are refused instead.
thread_local bool tl_inStore = false;

class StoreLock {
 public:
  StoreLock() : lock_(g_store.mutex) { tl_inStore = true; }
  ~StoreLock() { tl_inStore = false; }
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;

 private:
  std::lock_guard<std::mutex> lock_;
};

// ---- Small conversions ----------------------------------------------------------------------

constexpr std::uint32_t kFormatCodeMask = 0xFFFF;
constexpr std::uint32_t kRangeSelectors = kStoreLowerBound | kStoreUpperBound | kStoreResolution;

bool IsInteger(ValueKind kind) {
  return kind == ValueKind::kSigned || kind == ValueKind::kUnsigned;
}

std::uint32_t MinimumSize(ValueKind kind) {
  switch (kind) {
    case ValueKind::kSigned:
    case ValueKind::kUnsigned:
      return 4;
    case ValueKind::kReal:
      return 8;
    default:
      return 2;
  }
}

std::uint16_t Swap16(std::uint16_t v) {
  return static_cast<std::uint16_t>((v >> 8) | (v << 8));
}
std::uint32_t Swap32(std::uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

template <typename T>
T Load(const void* from) {
  T v;
  std::memcpy(&v, from, sizeof v);
  return v;
}
template <typename T>
void Store(void* to, T v) {
  std::memcpy(to, &v, sizeof v);
}

// Clamps a double into [lo, hi] after truncation toward zero; not-a-number gives 0.
std::int64_t TruncateClamped(double v, std::int64_t lo, std::int64_t hi) {
  if (std::isnan(v)) return 0;
  if (v <= static_cast<double>(lo)) return lo;
  if (v >= static_cast<double>(hi)) return hi;
  return static_cast<std::int64_t>(std::trunc(v));
}

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kUInt32Max = std::numeric_limits<std::uint32_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();

// Base-10 text to a 32-bit number, as the control unit's 32-bit library would read it: leading
// blanks and a sign, digits until the first other character; beyond the range the result
// saturates. A negative text read as unsigned wraps around, an overflow gives the maximum.
std::int32_t ParseSigned32(const char* text) {
  const long long v = std::strtoll(text, nullptr, 10);
  return static_cast<std::int32_t>(std::clamp<long long>(v, kInt32Min, kInt32Max));
}

std::uint32_t ParseUnsigned32(const char* text) {
  errno = 0;
  const unsigned long long v = std::strtoull(text, nullptr, 10);
  if (errno == ERANGE) return static_cast<std::uint32_t>(kUInt32Max);
  // strtoull negates a negative text in 64 bits; anything that did not fit 32 bits before the
  // negation saturates.
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  if (*p == '-') {
    const unsigned long long magnitude = 0ULL - v;
    if (magnitude > static_cast<unsigned long long>(kUInt32Max))
      return static_cast<std::uint32_t>(kUInt32Max);
    return static_cast<std::uint32_t>(v);
  }
  if (v > static_cast<unsigned long long>(kUInt32Max))
    return static_cast<std::uint32_t>(kUInt32Max);
  return static_cast<std::uint32_t>(v);
}

double ParseReal(const char* text) {
  return std::strtod(text, nullptr);
}

// The catalogue's numeric texts are fixed char[32] fields that need not be terminated.
std::string FieldText(const char (&field)[32]) {
  return std::string(field, strnlen(field, sizeof field));
}

// A number taken from a source (formats 0-6).
struct Number {
  bool real = false;
  bool isSigned = false;
  std::int64_t integer = 0;
  double value = 0.0;
};

Number DecodeNumber(std::uint32_t code, bool bigEndian, const void* source) {
  Number n;
  switch (code) {
    case kStoreU8:
      n.integer = Load<std::uint8_t>(source);
      break;
    case kStoreS8:
      n.integer = Load<std::int8_t>(source);
      n.isSigned = true;
      break;
    case kStoreU16: {
      auto v = Load<std::uint16_t>(source);
      n.integer = bigEndian ? Swap16(v) : v;
      break;
    }
    case kStoreS16: {
      auto v = Load<std::uint16_t>(source);
      n.integer = static_cast<std::int16_t>(bigEndian ? Swap16(v) : v);
      n.isSigned = true;
      break;
    }
    case kStoreU32: {
      auto v = Load<std::uint32_t>(source);
      n.integer = bigEndian ? Swap32(v) : v;
      break;
    }
    case kStoreS32: {
      auto v = Load<std::uint32_t>(source);
      n.integer = static_cast<std::int32_t>(bigEndian ? Swap32(v) : v);
      n.isSigned = true;
      break;
    }
    default:
      n.real = true;
      n.isSigned = true;
      n.value = Load<double>(source);
      break;
  }
  return n;
}

// ---- Graph range --------------------------------------------------------------------------

// The value rounded down (or up) to one significant decimal digit: 347 -> 300 (400),
// -0.042 -> -0.05 (-0.04). 0 stays 0.
double RoundToOneDigit(double v, bool up) {
  if (v == 0.0 || !std::isfinite(v)) return v;
  const double p = std::pow(10.0, std::floor(std::log10(std::fabs(v))));
  return (up ? std::ceil(v / p) : std::floor(v / p)) * p;
}

void WidenRange(StoreRow& row) {
  const ValueKind kind = row.descriptor.kind;
  if (kind == ValueKind::kReal) {
    const double v = Load<double>(row.value);
    if (!std::isfinite(v)) return;
    if (v < row.lower.real) row.lower.real = RoundToOneDigit(v, false);
    if (v > row.upper.real) row.upper.real = RoundToOneDigit(v, true);
    return;
  }
  if (!IsInteger(kind)) return;
  const bool isSigned = kind == ValueKind::kSigned;
  const std::int64_t v = isSigned ? std::int64_t{Load<std::int32_t>(row.value)}
                                  : std::int64_t{Load<std::uint32_t>(row.value)};
  const std::int64_t lo = isSigned ? kInt32Min : 0;
  const std::int64_t hi = isSigned ? kInt32Max : kUInt32Max;
  // A bound one digit wider than the 32-bit range stays at the range's end.
  if (v < row.lower.integer)
    row.lower.integer = std::clamp<std::int64_t>(
        std::llround(RoundToOneDigit(static_cast<double>(v), false)), lo, hi);
  if (v > row.upper.integer)
    row.upper.integer = std::clamp<std::int64_t>(
        std::llround(RoundToOneDigit(static_cast<double>(v), true)), lo, hi);
}

// ---- Writing ------------------------------------------------------------------------------

void WriteTextValue(StoreRow& row, std::string_view text) {
  const std::size_t n = std::min<std::size_t>(text.size(), row.descriptor.size - 1);
  if (n != 0) std::memcpy(row.value, text.data(), n);
  row.value[n] = 0;
}

void WriteNumberIntoRow(StoreRow& row, std::uint32_t code, const Number& n) {
  switch (row.descriptor.kind) {
    case ValueKind::kSigned:
      Store(row.value,
            n.real ? static_cast<std::int32_t>(TruncateClamped(n.value, kInt32Min, kInt32Max))
                   : static_cast<std::int32_t>(n.integer));
      return;
    case ValueKind::kUnsigned:
      Store(row.value, n.real ? static_cast<std::uint32_t>(TruncateClamped(n.value, 0, kUInt32Max))
                              : static_cast<std::uint32_t>(n.integer));
      return;
    case ValueKind::kReal:
      Store(row.value, n.real ? n.value : static_cast<double>(n.integer));
      return;
    default:
      break;
  }
  char text[400];
  if (n.real) {
    std::snprintf(text, sizeof text, "%f", n.value);
  } else if (code == kStoreS32 || code == kStoreS8 || code == kStoreS16) {
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(n.integer));
  } else {
    std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(n.integer));
  }
  WriteTextValue(row, text);
}

void WriteTextIntoRow(StoreRow& row, std::string_view text) {
  switch (row.descriptor.kind) {
    case ValueKind::kSigned:
    case ValueKind::kUnsigned:
    case ValueKind::kReal: {
      const std::string terminated(text);
      if (row.descriptor.kind == ValueKind::kSigned)
        Store(row.value, ParseSigned32(terminated.c_str()));
      else if (row.descriptor.kind == ValueKind::kUnsigned)
        Store(row.value, ParseUnsigned32(terminated.c_str()));
      else
        Store(row.value, ParseReal(terminated.c_str()));
      return;
    }
    default:
      WriteTextValue(row, text);
      return;
  }
}

void WriteHexIntoRow(StoreRow& row, std::uint32_t digits, const std::uint8_t* bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const std::size_t n =
      bytes == nullptr ? 0 : std::min<std::size_t>(digits, row.descriptor.size - 1);
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t b = bytes[i / 2];
    row.value[i] = static_cast<std::uint8_t>(kHex[i % 2 == 0 ? b >> 4 : b & 0x0F]);
  }
  row.value[n] = 0;
}

// ---- Reading ------------------------------------------------------------------------------

// The row's value or selected range field as a number, for the numeric targets.
Number RowNumber(const StoreRow& row, std::uint32_t code, std::uint32_t selector) {
  Number n;
  const ValueKind kind = row.descriptor.kind;
  const bool rangeField = selector != 0 && code >= kStoreU32 && code <= kStoreDouble;
  if (rangeField) {
    const StoreNumber& field = (selector & kStoreLowerBound) != 0   ? row.lower
                               : (selector & kStoreUpperBound) != 0 ? row.upper
                                                                    : row.resolution;
    n.real = kind == ValueKind::kReal;
    n.isSigned = kind != ValueKind::kUnsigned;
    n.integer = n.real ? 0 : field.integer;
    n.value = field.real;
    return n;
  }
  switch (kind) {
    case ValueKind::kSigned:
      n.integer = Load<std::int32_t>(row.value);
      n.isSigned = true;
      return n;
    case ValueKind::kUnsigned:
      n.integer = Load<std::uint32_t>(row.value);
      return n;
    case ValueKind::kReal:
      n.real = true;
      n.value = Load<double>(row.value);
      return n;
    default:
      break;
  }
  const char* text = reinterpret_cast<const char*>(row.value);
  if (code == kStoreDouble) {
    n.real = true;
    n.value = ParseReal(text);
  } else if (code == kStoreU8 || code == kStoreU16 || code == kStoreU32) {
    n.integer = ParseUnsigned32(text);
  } else {
    n.integer = ParseSigned32(text);
    n.isSigned = true;
  }
  return n;
}

void StoreNumberInto(void* target, std::uint32_t code, bool bigEndian, const Number& n) {
  if (code == kStoreDouble) {
    Store(target, n.real ? n.value : static_cast<double>(n.integer));
    return;
  }
  // A real value is truncated toward zero, then every number is cut to the target's width.
  const std::int64_t v = n.real ? TruncateClamped(n.value, kInt64Min, kInt64Max) : n.integer;
  switch (code) {
    case kStoreU8:
    case kStoreS8:
      Store(target, static_cast<std::uint8_t>(v));
      return;
    case kStoreU16:
    case kStoreS16: {
      const auto w = static_cast<std::uint16_t>(v);
      Store(target, bigEndian ? Swap16(w) : w);
      return;
    }
    default: {
      const auto w = static_cast<std::uint32_t>(v);
      Store(target, bigEndian ? Swap32(w) : w);
      return;
    }
  }
}

std::size_t NumericWidth(std::uint32_t code) {
  switch (code) {
    case kStoreU8:
    case kStoreS8:
      return 1;
    case kStoreU16:
    case kStoreS16:
      return 2;
    case kStoreU32:
    case kStoreS32:
      return 4;
    case kStoreDouble:
      return 8;
    default:
      return 0;
  }
}

std::string DisplayText(const StoreRow& row) {
  char text[32];
  switch (row.descriptor.kind) {
    case ValueKind::kSigned:
      std::snprintf(text, sizeof text, "%d", Load<std::int32_t>(row.value));
      return text;
    case ValueKind::kUnsigned:
      std::snprintf(text, sizeof text, "%u", Load<std::uint32_t>(row.value));
      return text;
    case ValueKind::kReal:
      return FormatReal(Load<double>(row.value), row.resolution.real);
    default:
      return std::string(reinterpret_cast<const char*>(row.value));
  }
}

void CopyBounded(std::string_view text, char* buffer, std::size_t size) {
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = 0;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

// ---- Session data -------------------------------------------------------------------------

void FreeSession(DiagStore& store) {
  delete[] store.rows;
  delete[] store.valueArea;
  delete[] store.previousArea;
  store.rows = nullptr;
  store.valueArea = nullptr;
  store.previousArea = nullptr;
  store.rowCount = 0;
}

StoreRow* RowAt(std::uint32_t row) {
  return row < g_store.rowCount ? &g_store.rows[row] : nullptr;
}

// Posting while the mutex is held is safe because MessageTarget::Post only queues; it also
// guarantees that no message reaches a window after StoreUnsubscribe has returned.
void PostToGroup(std::uint32_t message, std::uint32_t row, std::uint32_t viewMask) {
  for (const StoreSubscriber& s : g_store.subscribers)
    if (s.window != nullptr && (s.groupMask & viewMask) != 0)
      s.window->Post(message, static_cast<std::intptr_t>(row), s.userValue);
}

void PostToAll(std::uint32_t message, std::intptr_t a, bool withUserValue) {
  for (const StoreSubscriber& s : g_store.subscribers)
    if (s.window != nullptr) s.window->Post(message, a, withUserValue ? s.userValue : 0);
}

int SetFlag(std::uint32_t row, int flag, bool StoreRow::*member, std::uint32_t message) {
  if (tl_inStore) return 0;
  StoreLock lock;
  StoreRow* r = RowAt(row);
  if (r == nullptr) return 0;
  const bool old = r->*member;
  const bool now = flag != 0;
  if (old != now) {
    r->*member = now;
    PostToGroup(message, row, r->descriptor.viewMask);
  }
  return old ? 1 : 0;
}

int GetFlag(std::uint32_t row, bool StoreRow::*member) {
  if (tl_inStore) return 0;
  StoreLock lock;
  const StoreRow* r = RowAt(row);
  return r != nullptr && r->*member ? 1 : 0;
}

}  // namespace

void StoreStartup() {
  if (tl_inStore) return;
  StoreLock lock;
  FreeSession(g_store);
  g_store.dataValid = false;
  for (StoreSubscriber& s : g_store.subscribers) s = StoreSubscriber{};
}

void StoreShutdown() {
  StoreRelease();
}

int StoreInit(ParameterCatalogue catalogue) {
  if (tl_inStore) return 0;
  bool outOfMemory = false;
  {
    StoreLock lock;
    if (g_store.rowCount != 0) return 0;
    g_store.dataValid = false;
    if (catalogue.empty() || catalogue.size() > std::numeric_limits<std::uint32_t>::max()) return 0;

    std::size_t total = 0;
    for (const ParameterDescriptor& d : catalogue) {
      total += std::max(d.size, MinimumSize(d.kind));
      if (total > kStoreMaxAreaBytes) break;
    }
    StoreRow* rows = nullptr;
    std::uint8_t* values = nullptr;
    std::uint8_t* previous = nullptr;
    if (total <= kStoreMaxAreaBytes) {
      rows = new (std::nothrow) StoreRow[catalogue.size()];
      values = new (std::nothrow) std::uint8_t[total]();
      previous = new (std::nothrow) std::uint8_t[total]();
    }
    if (rows == nullptr || values == nullptr || previous == nullptr) {
      delete[] rows;
      delete[] values;
      delete[] previous;
      outOfMemory = true;
    } else {
      std::size_t offset = 0;
      for (std::size_t i = 0; i < catalogue.size(); ++i) {
        StoreRow& row = rows[i];
        row.descriptor = catalogue[i];
        row.descriptor.size = std::max(row.descriptor.size, MinimumSize(row.descriptor.kind));
        row.value = values + offset;
        row.previous = previous + offset;
        offset += row.descriptor.size;
        const std::string lower = FieldText(row.descriptor.min);
        const std::string upper = FieldText(row.descriptor.max);
        const std::string step = FieldText(row.descriptor.resolution);
        switch (row.descriptor.kind) {
          case ValueKind::kSigned:
            row.lower.integer = ParseSigned32(lower.c_str());
            row.upper.integer = ParseSigned32(upper.c_str());
            row.resolution.integer = ParseSigned32(step.c_str());
            break;
          case ValueKind::kUnsigned:
            row.lower.integer = ParseUnsigned32(lower.c_str());
            row.upper.integer = ParseUnsigned32(upper.c_str());
            row.resolution.integer = ParseUnsigned32(step.c_str());
            break;
          case ValueKind::kReal:
            row.lower.real = ParseReal(lower.c_str());
            row.upper.real = ParseReal(upper.c_str());
            row.resolution.real = ParseReal(step.c_str());
            break;
          default:
            break;
        }
      }
      g_store.rows = rows;
      g_store.valueArea = values;
      g_store.previousArea = previous;
      g_store.rowCount = static_cast<std::uint32_t>(catalogue.size());
      PostToAll(UM_DATAINIT, static_cast<std::intptr_t>(g_store.rowCount), true);
      return 1;
    }
  }
  // The box blocks until the user closes it: never with the mutex held.
  if (outOfMemory) ShowThreadError(kTextInsufficientMemory);
  return 0;
}

void StoreRelease() {
  if (tl_inStore) return;
  StoreLock lock;
  g_store.dataValid = false;
  if (g_store.rowCount == 0) return;
  PostToAll(UM_DATARELEASED, 0, true);
  FreeSession(g_store);
}

void StoreSetDataValid() {
  if (tl_inStore) return;
  StoreLock lock;
  PostToAll(UM_DATAREADY, 0, false);
  g_store.dataValid = true;
}

bool StoreIsDataValid() {
  if (tl_inStore) return false;
  StoreLock lock;
  return g_store.dataValid;
}

std::uint32_t StoreRowCount() {
  if (tl_inStore) return 0;
  StoreLock lock;
  return g_store.rowCount;
}

int StoreWrite(std::uint32_t row, std::uint32_t format, std::uint32_t length, const void* source) {
  if (tl_inStore) return 0;
  const std::uint32_t code = format & kFormatCodeMask;
  const bool bigEndian = (format & kStoreBigEndian) != 0;
  if (code > kStoreHex) return 0;
  if (code <= kStoreDouble && source == nullptr) return 0;

  StoreLock lock;
  StoreRow* r = RowAt(row);
  if (r == nullptr) return 0;
  const bool textRow = !IsInteger(r->descriptor.kind) && r->descriptor.kind != ValueKind::kReal;
  if (code == kStoreHex && !textRow) return 0;

  std::memset(r->value, 0, r->descriptor.size);
  if (code <= kStoreDouble) {
    WriteNumberIntoRow(*r, code, DecodeNumber(code, bigEndian, source));
  } else if (code == kStoreText) {
    const char* text = static_cast<const char*>(source);
    WriteTextIntoRow(
        *r, text == nullptr ? std::string_view{} : std::string_view(text, strnlen(text, length)));
  } else {
    WriteHexIntoRow(*r, length, static_cast<const std::uint8_t*>(source));
  }

  WidenRange(*r);
  if (std::memcmp(r->value, r->previous, r->descriptor.size) != 0) {
    std::memcpy(r->previous, r->value, r->descriptor.size);
    PostToGroup(UM_VALUECHANGED, row, r->descriptor.viewMask);
  }
  return 1;
}

int StoreRead(std::uint32_t row, std::uint32_t format, std::uint32_t length, void* target) {
  const std::uint32_t code = format & kFormatCodeMask;
  if (target == nullptr || code > kStoreHex) return 0;
  if (code == kStoreText && length == 0) return 0;
  // A missing row (or a read from inside a notification) leaves a zeroed or empty target.
  auto missing = [&] {
    if (code == kStoreText)
      static_cast<char*>(target)[0] = 0;
    else if (code != kStoreHex)
      std::memset(target, 0, NumericWidth(code));
    return 0;
  };
  if (tl_inStore) return missing();

  StoreLock lock;
  const StoreRow* r = RowAt(row);
  if (r == nullptr) return missing();
  const ValueKind kind = r->descriptor.kind;
  const bool textRow = !IsInteger(kind) && kind != ValueKind::kReal;

  if (code <= kStoreDouble) {
    StoreNumberInto(target, code, (format & kStoreBigEndian) != 0,
                    RowNumber(*r, code, format & kRangeSelectors));
    return 1;
  }
  if (code == kStoreText) {
    CopyBounded(DisplayText(*r), static_cast<char*>(target), length);
    return 1;
  }
  if (!textRow) return 0;
  // Hex digits back into bytes; the text ends the conversion early.
  const char* text = reinterpret_cast<const char*>(r->value);
  const std::size_t digits = length == 0 ? std::strlen(text) : length;
  auto* out = static_cast<std::uint8_t*>(target);
  for (std::size_t i = 0; i < digits && text[i] != 0; ++i) {
    const auto nibble = static_cast<std::uint8_t>(HexDigitValue(text[i]));
    if (i % 2 == 0)
      out[i / 2] = static_cast<std::uint8_t>(nibble << 4);
    else
      out[i / 2] = static_cast<std::uint8_t>(out[i / 2] | nibble);
  }
  return 1;
}

int StoreGetShown(std::uint32_t row) {
  return GetFlag(row, &StoreRow::shown);
}
int StoreSetShown(std::uint32_t row, int flag) {
  return SetFlag(row, flag, &StoreRow::shown, UM_SHOWNCHANGED);
}
int StoreGetPresent(std::uint32_t row) {
  return GetFlag(row, &StoreRow::present);
}
int StoreSetPresent(std::uint32_t row, int flag) {
  return SetFlag(row, flag, &StoreRow::present, UM_PRESENTCHANGED);
}

int StoreRowInGroup(std::uint32_t row, std::uint32_t mask) {
  return (StoreGetViewMask(row) & mask) != 0 ? 1 : 0;
}

std::uint32_t StoreGetViewMask(std::uint32_t row) {
  if (tl_inStore) return 0;
  StoreLock lock;
  const StoreRow* r = RowAt(row);
  return r != nullptr ? r->descriptor.viewMask : 0;
}

namespace {

// The name and unit ids of a row; false when the row does not exist.
bool RowTextIds(std::uint32_t row, std::uint32_t& nameId, std::uint32_t& unitId) {
  if (tl_inStore) return false;
  StoreLock lock;
  const StoreRow* r = RowAt(row);
  if (r == nullptr) return false;
  nameId = r->descriptor.nameId;
  unitId = r->descriptor.unitId;
  return true;
}

}  // namespace

std::string StoreGetName(std::uint32_t row, NameForm form) {
  std::uint32_t nameId = 0;
  std::uint32_t unitId = 0;
  if (!RowTextIds(row, nameId, unitId)) return {};
  return NameText(nameId, form);
}

std::string StoreGetUnit(std::uint32_t row) {
  std::uint32_t nameId = 0;
  std::uint32_t unitId = 0;
  if (!RowTextIds(row, nameId, unitId)) return {};
  return UnitText(unitId);
}

int StoreGetName(std::uint32_t row, char* buffer, std::size_t size, int shortName) {
  if (buffer == nullptr || size == 0) return 0;
  buffer[0] = 0;
  std::uint32_t nameId = 0;
  std::uint32_t unitId = 0;
  if (!RowTextIds(row, nameId, unitId) || FindString(nameId) == nullptr) return 0;
  CopyBounded(NameText(nameId, shortName != 0 ? NameForm::kShort : NameForm::kLong), buffer, size);
  return 1;
}

std::size_t StoreGetUnit(std::uint32_t row, char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  CopyBounded(StoreGetUnit(row), buffer, size);
  return std::strlen(buffer);
}

std::string StoreReadText(std::uint32_t row) {
  if (tl_inStore) return {};
  StoreLock lock;
  const StoreRow* r = RowAt(row);
  return r != nullptr ? DisplayText(*r) : std::string();
}

int StoreWriteText(std::uint32_t row, std::string_view text) {
  // The length argument of StoreWrite is 32 bits; a longer text is cut by the row size anyway.
  const auto length = static_cast<std::uint32_t>(
      std::min<std::size_t>(text.size(), std::numeric_limits<std::uint32_t>::max()));
  // StoreWrite stops at a NUL or after `length` characters, so the view needs no terminator.
  return StoreWrite(row, kStoreText, length, text.data() != nullptr ? text.data() : "");
}

void StoreSubscribe(MessageTarget* window, std::uint32_t groupMask, std::intptr_t userValue) {
  if (window == nullptr || tl_inStore) return;
  StoreLock lock;
  for (const StoreSubscriber& s : g_store.subscribers) {
    if (s.window == window) {
      if (g_store.dataValid) window->Post(UM_DATAREADY, 0, 0);
      return;
    }
  }
  for (StoreSubscriber& s : g_store.subscribers) {
    if (s.window == nullptr) {
      s = StoreSubscriber{window, userValue, groupMask};
      if (g_store.dataValid) window->Post(UM_DATAREADY, 0, 0);
      return;
    }
  }
}

void StoreUnsubscribe(MessageTarget* window) {
  if (window == nullptr || tl_inStore) return;
  StoreLock lock;
  for (StoreSubscriber& s : g_store.subscribers)
    if (s.window == window) s = StoreSubscriber{};
}

}  // namespace heatdiag
