#include "cli/dataset.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "base/string_table.h"
#include "cli/headless_frame.h"
#include "cli/interrupt_watch.h"
#include "cli/subcommand.h"
#include "dataset/addresses.h"
#include "dataset/dataset_texts.h"
#include "dataset/dataset_worker.h"
#include "dataset/eol_file.h"
#include "drivers/device_table.h"
#include "drivers/diagnosis.h"

namespace heatdiag::cli {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::ordered_json;

constexpr std::uint32_t kVirtualHeaterDevice = 0;
constexpr auto kConnectionLimit = 120s;
constexpr auto kCellLimit = 30s;
constexpr auto kProgressEvery = 200ms;

// A usage fault: the message and exit status 2.
struct Usage {
  std::string message;
};

std::string Hex(std::uint32_t value, int digits = 0) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

std::optional<std::uint32_t> ParseNumber(const std::string& text, int base, std::uint32_t max) {
  std::string t = text;
  if (base == 16 && t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t = t.substr(2);
  if (t.empty() || t.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : t) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0 || digit >= base) return std::nullopt;
    value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
  }
  if (value > max) return std::nullopt;
  return value;
}

// FIRST-LAST:ADDR:TYPE, addresses hexadecimal.
ChecksumArea ParseChecksum(const std::string& text) {
  const Usage bad{"--checksum \"" + text +
                  "\" is not FIRST-LAST:ADDR:TYPE (hexadecimal addresses; TYPE SUM8, XOR8, "
                  "SUM16_HILO, SUM16_LOHI or XNOR8)."};
  const std::size_t dash = text.find('-');
  const std::size_t colon = text.find(':');
  const std::size_t colon2 = colon == std::string::npos ? colon : text.find(':', colon + 1);
  if (dash == std::string::npos || colon2 == std::string::npos || dash > colon) throw bad;
  const auto first = ParseNumber(text.substr(0, dash), 16, 0xFFFF);
  const auto last = ParseNumber(text.substr(dash + 1, colon - dash - 1), 16, 0xFFFF);
  const auto address = ParseNumber(text.substr(colon + 1, colon2 - colon - 1), 16, 0xFFFF);
  const auto type = ChecksumTypeFromName(text.substr(colon2 + 1));
  if (!first || !last || !address || !type) throw bad;
  return ChecksumArea{static_cast<std::uint16_t>(*first), static_cast<std::uint16_t>(*last),
                      static_cast<std::uint16_t>(*address), *type};
}

Json LayoutJson(const DatasetImage& image) {
  Json areas = Json::array();
  for (std::size_t i = 0; i < std::min<std::size_t>(image.areaCount, image.areas.size()); ++i) {
    const ChecksumArea& a = image.areas[i];
    areas.push_back({{"first", a.first},
                     {"last", a.last},
                     {"address", a.checksumAddress},
                     {"type", ChecksumTypeName(a.type)}});
  }
  return Json{{"start", image.start}, {"size", image.size}, {"areas", areas}};
}

std::string LayoutText(const DatasetImage& image) {
  std::string text = "start " + Hex(image.start) + ", size " + std::to_string(image.size);
  if (!image.HasAreas()) return text + ", no checksum area";
  for (const ChecksumArea& a : image.areas)
    text += ", checksum " + Hex(a.first) + "-" + Hex(a.last) + " at " + Hex(a.checksumAddress) +
            " " + ChecksumTypeName(a.type);
  return text;
}

// The layout the options give, or nullopt when they give none.
struct LayoutOptions {
  bool given = false;
  std::optional<std::uint16_t> start;
  std::optional<std::uint16_t> size;
  std::vector<ChecksumArea> areas;
  bool noChecksum = false;
};

LayoutOptions ParseLayoutOptions(const DatasetOptions& o) {
  LayoutOptions l;
  if (!o.start.empty()) {
    const auto v = ParseNumber(o.start, 16, 0xFFFF);
    if (!v) throw Usage{"--start must be a hexadecimal address up to FFFF."};
    l.start = static_cast<std::uint16_t>(*v);
  }
  if (o.size) {
    if (*o.size < 1 || *o.size > 0xFFFF) throw Usage{"--size must lie between 1 and 65535."};
    l.size = static_cast<std::uint16_t>(*o.size);
  }
  for (const std::string& c : o.checksums) l.areas.push_back(ParseChecksum(c));
  l.noChecksum = o.noChecksum;
  l.given = l.start || l.size || !l.areas.empty() || l.noChecksum;
  return l;
}

// --- check ----------------------------------------------------------------------------------

int Check(const DatasetOptions& o, std::ostream& out, std::ostream& err) {
  const LayoutOptions l = ParseLayoutOptions(o);
  if (!l.start || !l.size) throw Usage{"check needs --start and --size."};
  DatasetImage image;
  image.start = *l.start;
  image.size = *l.size;
  image.cells.assign(image.size, DatasetCell{});
  image.areas = l.areas;
  image.areaCount = static_cast<std::uint16_t>(image.areas.size());
  if (!LayoutProblem(image).empty())
    throw Usage{
        "The layout does not fit: the start must lie below the size, and each checksum "
        "area must run forwards inside the size with its checksum bytes."};
  Json errors = Json::array();
  Json checksums = Json::array();
  EolFileError error;
  bool ok = ReadEolFile(o.file, &image, &error);
  if (!ok) errors.push_back(error.text);
  bool allRight = ok;
  bool incomplete = false;
  if (ok) {
    for (const ChecksumArea& area : image.areas) {
      DatasetImage one = image;
      one.areas = {area};
      one.areaCount = 1;
      const bool complete = !FirstIncompleteAddress(one).has_value();
      incomplete = incomplete || !complete;
      const auto stored = StoredChecksum(image, area);
      const auto computed = ComputeChecksum(image, area);
      const bool right = stored && computed && *stored == *computed;
      allRight = allRight && right;
      checksums.push_back({{"area", LayoutJson(one)["areas"][0]},
                           {"stored", stored.value_or(0)},
                           {"computed", computed.value_or(0)},
                           {"ok", right},
                           {"complete", complete}});
    }
    if (incomplete) errors.push_back(LoadString(kTextDatasetIncomplete));
  }
  bool fixed = false;
  if (ok && !o.fix.empty()) {
    DatasetImage copy = image;
    RecalculateChecksums(&copy);
    fixed = WriteEolFile(o.fix, copy, &error);
    if (!fixed) errors.push_back(error.text);
  }
  const bool success = ok && (o.fix.empty() ? allRight : fixed);
  if (o.json) {
    out << Json{{"ok", success},
                {"errors", errors},
                {"layout", LayoutJson(image)},
                {"checksums", checksums}}
               .dump()
        << '\n';
  } else {
    for (const auto& e : errors) err << e.get<std::string>() << '\n';
    if (ok) {
      out << "Layout: " << LayoutText(image) << '\n';
      for (const auto& c : checksums)
        out << "Checksum " << Hex(c["area"]["first"]) << "-" << Hex(c["area"]["last"]) << " at "
            << Hex(c["area"]["address"]) << ": stored " << Hex(c["stored"]) << ", computed "
            << Hex(c["computed"]) << (c["ok"].get<bool>() ? " (right)" : " (WRONG)")
            << (c["complete"].get<bool>() ? "" : ", area incomplete") << '\n';
      if (fixed) out << "Written with recalculated checksums: " << o.fix << '\n';
    }
  }
  return success ? kExitOk : kExitFailed;
}

// --- The device commands ----------------------------------------------------------------------

// The worker's front end for one command: the files of the options, the layout chosen, the
// backup file.
class CommandFrontEnd : public DatasetFrontEnd {
 public:
  explicit CommandFrontEnd(const DatasetOptions& o) : options_(o) {}
  bool ChooseEolFile(bool, std::string* path) override {
    *path = options_.file;
    return !path->empty();
  }
  void LayoutChosen(const DatasetImage& image) override {
    std::lock_guard lock(mutex_);
    layout_ = image;
    layout_.cells.clear();
    haveLayout_ = true;
  }
  bool BackupTaken(const DatasetImage& storage) override {
    if (options_.backup.empty()) return true;
    EolFileError error;
    if (WriteEolFile(options_.backup, storage, &error)) return true;
    std::lock_guard lock(mutex_);
    errors_.push_back(error.text);
    return false;
  }
  std::optional<DatasetImage> Layout() const {
    std::lock_guard lock(mutex_);
    return haveLayout_ ? std::optional(layout_) : std::nullopt;
  }
  void AddError(const std::string& text) {
    std::lock_guard lock(mutex_);
    errors_.push_back(text);
  }
  std::vector<std::string> Errors() const {
    std::lock_guard lock(mutex_);
    return errors_;
  }

 private:
  const DatasetOptions& options_;
  mutable std::mutex mutex_;
  DatasetImage layout_;
  bool haveLayout_ = false;
  std::vector<std::string> errors_;
};

// Answers the addresses dialog from the options, or with the stored settings as offered.
// Returns a note on where the layout came from; a refused answer empties the image, so that the
// command ends without sending anything.
void AnswerAddresses(AddressRequest* request, const LayoutOptions& l, CommandFrontEnd& frontEnd,
                     std::string* source, std::atomic<bool>* refused) {
  DatasetImage* image = request->image;
  const std::uint16_t opened = image->size;
  AddressFields fields = InitialAddressFields(*image, ProgramSettings());
  if (l.start) fields.start = Hex(*l.start).substr(2);
  if (l.size) fields.size = std::to_string(*l.size);
  if (!l.areas.empty()) {
    fields.checkStart = Hex(l.areas[0].first).substr(2);
    fields.checkEnd = Hex(l.areas[0].last).substr(2);
    fields.checksum = Hex(l.areas[0].checksumAddress).substr(2);
  }
  *source = l.given ? "options" : "settings";
  std::uint32_t problem = 0;
  if (l.noChecksum) {
    problem = ApplyAddressesWithoutChecksum(image, opened, fields);
  } else {
    problem = ApplyAddressesOk(image, opened, fields, &ProgramSettings());
    if (problem == 0 && !l.areas.empty()) {
      image->areas = l.areas;
      image->areaCount = static_cast<std::uint16_t>(l.areas.size());
      if (!LayoutProblem(*image).empty()) problem = kTextChecksumAreaImplausible;
    }
  }
  if (problem != 0) {
    frontEnd.AddError(LoadString(problem));
    FreeDatasetImage(image);
    refused->store(true);
  }
  request->done.store(true);
}

class ProgressLine {
 public:
  ProgressLine(bool enabled, std::ostream& err) : enabled_(enabled), err_(err) {}
  void Show(const TransferProgress& p) {
    if (!enabled_ || p.finished.load() != 0) return Done();
    const std::uint32_t first = p.first.load();
    const std::uint32_t last = p.last.load();
    const std::uint32_t current = p.current.load();
    if (last <= first) return;
    err_ << "\r" << Hex(current, 4) << ": " << (current - first + 1) << " of " << (last - first)
         << " addresses" << std::flush;
    shown_ = true;
  }
  void Done() {
    if (shown_) err_ << '\n' << std::flush;
    shown_ = false;
  }

 private:
  bool enabled_;
  std::ostream& err_;
  bool shown_ = false;
};

int DeviceCommand(const DatasetOptions& o, SettingsBackend* store, std::ostream& out,
                  std::ostream& err) {
  // Everything the command line says is checked before anything is sent.
  std::optional<std::uint32_t> device;
  if (!o.device.empty()) {
    device = ParseDeviceId(o.device);
    if (!device) throw Usage{"Unknown device \"" + o.device + "\" (D00 to D18)."};
  }
  if (!o.mode.empty() && o.mode != "cells" && o.mode != "block")
    throw Usage{"--mode must be cells or block."};
  if (o.blockBaud && !ParseBlockBaudRate(std::to_string(*o.blockBaud)))
    throw Usage{LoadString(kTextInvalidBaudRate) +
                " The block rate is a multiple of 300 from 2400 to 38400."};
  const LayoutOptions layoutOptions = ParseLayoutOptions(o);
  if (o.noChecksum && !o.checksums.empty())
    throw Usage{"--checksum and --no-checksum exclude each other."};
  if (o.action == "write" && o.backup.empty() && !o.noBackup)
    throw Usage{
        "A write names its backup: give --backup FILE to save the unit's dataset "
        "first, or --no-backup to write without one."};
  if ((o.action == "read" || o.action == "write") && o.file.empty())
    throw Usage{o.action == "read" ? "read needs --out FILE." : "write needs --in FILE."};
  std::optional<std::uint16_t> address;
  std::optional<std::uint8_t> value;
  if (o.action == "cell") {
    const auto a = ParseNumber(o.address, 16, 0xFFFE);
    if (!a) throw Usage{"--address must be a hexadecimal address below FFFF."};
    address = static_cast<std::uint16_t>(*a);
    if (!o.value.empty()) {
      const auto v = ParseNumber(o.value, 16, 0xFF);
      if (!v) throw Usage{"--value must be a hexadecimal byte, 00 to FF."};
      value = static_cast<std::uint8_t>(*v);
    }
  }

  HeadlessRun run(store, err);
  if (!run.ChooseLine(o)) return kExitUsage;
  if (!device && o.virtualHeater) device = kVirtualHeaterDevice;
  if (!device) {
    const std::int32_t last = ProgramSettings().lastDevice;
    if (last < 0 || last >= static_cast<std::int32_t>(kDeviceCount))
      throw Usage{"No device has been diagnosed yet: give --device D00 to D18."};
    device = static_cast<std::uint32_t>(last);
  }
  // The transfer settings of this run; the stored ones are put back before they are saved.
  Settings& settings = ProgramSettings();
  const std::int32_t blockBefore = settings.hbusBlock;
  const std::int32_t baudBefore = settings.hbusBlockBaud;
  const std::int32_t backupBefore = settings.eolBackup;
  if (!o.mode.empty()) settings.hbusBlock = o.mode == "block" ? 1 : 0;
  if (o.blockBaud) settings.hbusBlockBaud = *o.blockBaud;
  settings.eolBackup = o.action == "write" && !o.backup.empty() ? 1 : 0;
  const bool blockMode = settings.hbusBlock != 0;
  const int blockBaud = settings.hbusBlockBaud;
  const auto restore = [&] {
    settings.hbusBlock = blockBefore;
    settings.hbusBlockBaud = baudBefore;
    settings.eolBackup = backupBefore;
  };
  if (!run.Start()) {
    restore();
    return kExitUsage;
  }

  HeadlessFrame& frame = run.Frame();
  CommandFrontEnd frontEnd(o);
  DatasetWorker worker(&frontEnd);
  std::string layoutSource = "device";
  std::atomic<bool> refused{false};
  std::atomic<bool> cellOpened{false};
  std::atomic<bool> interrupted{false};
  frame.SetMessageHook([&](std::uint32_t message, std::intptr_t a) {
    if (message == UM_EOLADDRESSES)
      AnswerAddresses(reinterpret_cast<AddressRequest*>(a), layoutOptions, frontEnd, &layoutSource,
                      &refused);
    if (message == UM_EOLEDITOR) {
      // No editor here: the editor is left without programming.
      reinterpret_cast<EditorRequest*>(a)->done.store(true);
    }
    if (message == UM_OPENEOLCELL) cellOpened.store(true);
  });
  InterruptWatch interrupt([&frame, &interrupted] {
    interrupted.store(true);
    frame.Interrupt();
  });
  SelectDevice(*device);
  StartDiagnosis();
  const HeadlessFrame::Outcome connection = frame.WaitForConnection(kConnectionLimit);

  bool ok = false;
  std::optional<std::uint8_t> cellValue;
  if (connection != HeadlessFrame::Outcome::kDataReady) {
    frontEnd.AddError(connection == HeadlessFrame::Outcome::kInterrupted
                          ? "Interrupted before the connection was complete."
                          : "No connection to the control unit.");
  } else {
    worker.Start();
    const int command = o.action == "read"    ? kDeviceIntoFile
                        : o.action == "write" ? kFileIntoDevice
                                              : kSingleCell;
    worker.SetCommand(command);
    ProgressLine progress(o.progress && !o.json, err);
    if (command == kSingleCell) {
      CellRequest& cell = worker.Cell();
      const auto end = std::chrono::steady_clock::now() + kCellLimit;
      while (!cellOpened.load() && worker.Command() != 0 && !interrupted.load())
        worker.WaitIdle(20ms);
      if (cellOpened.load()) {
        const std::uint16_t start = cell.start.load();
        const std::uint16_t size = cell.size.load();
        if (*address < start || *address >= size) {
          frontEnd.AddError("Address " + Hex(*address) + " lies outside the dataset area " +
                            Hex(start) + " to " + Hex(size - 1u) + ".");
          refused.store(true);
        } else {
          // As the dialog does: a write, then the read back; or a read.
          cell.address.store(*address);
          std::uint32_t served = cell.served.load();
          if (value) {
            cell.newValue.store(*value);
            cell.newValueEntered.store(true);
            cell.writeRequest.store(true);
          } else {
            cell.readRequest.store(true);
          }
          while (!cell.refresh.load() && !interrupted.load() &&
                 std::chrono::steady_clock::now() < end) {
            if (cell.served.load() != served) {
              served = cell.served.load();
              if (cell.failed.load()) break;
            }
            std::this_thread::sleep_for(10ms);
          }
          ok = cell.refresh.load();
          if (ok) cellValue = static_cast<std::uint8_t>(cell.currentValue.load());
        }
      }
      cell.closed.store(true);
      worker.WaitIdle(10s);
      if (!cellOpened.load()) ok = false;
    } else {
      while (!worker.WaitIdle(kProgressEvery)) {
        if (interrupted.load()) break;
        progress.Show(worker.Progress());
      }
      progress.Done();
      ok = !interrupted.load() && worker.Command() == 0 && worker.LastCommandSucceeded();
    }
    worker.Stop();
  }
  if (interrupted.load()) frontEnd.AddError("Interrupted.");
  if (!ok && !frontEnd.Layout() && frame.Errors().empty() && frontEnd.Errors().empty())
    frontEnd.AddError("The device offers no dataset, or its layout could not be obtained.");
  frame.SetMessageHook({});
  restore();
  run.Finish();

  std::vector<std::string> errors = frame.Errors();
  for (const std::string& e : frontEnd.Errors()) errors.push_back(e);
  const std::optional<DatasetImage> layout = frontEnd.Layout();
  if (o.json) {
    Json result{{"ok", ok}, {"errors", errors}};
    result["device"] = DeviceId(*device);
    result["mode"] = blockMode ? "block" : "cells";
    if (blockMode) result["blockBaud"] = blockBaud;
    result["layout"] = layout ? LayoutJson(*layout) : Json(nullptr);
    result["layoutFrom"] = layoutSource;
    if (o.action == "cell") result["value"] = cellValue ? Json(*cellValue) : Json(nullptr);
    if (!o.backup.empty()) result["backup"] = o.backup;
    out << result.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
  } else {
    for (const std::string& e : frontEnd.Errors()) err << e << '\n';
    if (layout) {
      out << "Layout: " << LayoutText(*layout);
      if (layoutSource == "settings") out << " (from the stored EEPROM settings)";
      if (layoutSource == "options") out << " (from the command line)";
      out << '\n';
    }
    if (ok && o.action == "read") out << "Dataset read into " << o.file << '\n';
    if (ok && o.action == "write") {
      if (!o.backup.empty()) out << "Backup saved in " << o.backup << '\n';
      out << "Dataset from " << o.file << " written into the control unit\n";
    }
    if (ok && cellValue)
      out << "Cell " << Hex(*address, 3) << ": " << Hex(*cellValue, 2) << " ("
          << static_cast<int>(*cellValue) << ")\n";
    if (!ok) out << "Failed.\n";
  }
  if (refused.load()) return kExitUsage;
  return ok ? kExitOk : kExitFailed;
}

}  // namespace

int RunDataset(const DatasetOptions& options, SettingsBackend* store, std::ostream& out,
               std::ostream& err) {
  try {
    if (options.action == "check") return Check(options, out, err);
    return DeviceCommand(options, store, out, err);
  } catch (const Usage& usage) {
    if (options.json) {
      out << Json{{"ok", false}, {"errors", {usage.message}}}.dump() << '\n';
    }
    err << usage.message << '\n';
    return kExitUsage;
  }
}

Subcommand AddDatasetCommand(CLI::App& app, SettingsBackend& store) {
  auto o = std::make_shared<DatasetOptions>();
  CLI::App* command =
      app.add_subcommand("dataset", "The EOL dataset: read, write, one cell, check");
  command->require_subcommand(1);
  struct Action {
    CLI::App* app;
    std::function<void()> completeLine;
  };
  auto actions = std::make_shared<std::vector<Action>>();
  const auto addLayout = [o](CLI::App* c) {
    c->add_option("--start", o->start, "Start address of the dataset area (hex)");
    c->add_option("--size", o->size, "EEPROM size (decimal)");
    c->add_option("--checksum", o->checksums, "Checksum area FIRST-LAST:ADDR:TYPE (hex)");
  };
  const auto addDevice = [&, o](const char* name, const char* help) {
    CLI::App* c = command->add_subcommand(name, help);
    c->add_option("--device", o->device, "Device D00..D18 (default: the device diagnosed last)");
    actions->push_back({c, AddLineOptions(*c, *o)});
    c->add_option("--mode", o->mode, "cells or block (default: the setting HBusBlock)");
    c->add_option("--block-baud", o->blockBaud, "Block-mode rate (default: HBusBlockBaud)");
    addLayout(c);
    c->add_flag("--no-checksum", o->noChecksum, "Answer the addresses dialog without checksum");
    c->add_flag("--json", o->json, "One JSON object on standard output");
    return c;
  };
  CLI::App* read = addDevice("read", "Read dataset from device into file");
  read->add_option("--out", o->file, "The EOL file to write")->required();
  CLI::App* write = addDevice("write", "Read dataset from file into device");
  write->add_option("--in", o->file, "The EOL file to program")->required();
  CLI::Option* backup =
      write->add_option("--backup", o->backup, "Save the unit's dataset here first");
  CLI::Option* noBackup = write->add_flag("--no-backup", o->noBackup, "Write without a backup");
  backup->excludes(noBackup);
  CLI::App* cell = addDevice("cell", "Read a single cell, or write it with --value");
  cell->add_option("--address", o->address, "Cell address (hex)")->required();
  cell->add_option("--value", o->value, "Value to write (hex)");
  CLI::App* check = command->add_subcommand("check", "Check a file's checksums offline");
  check->add_option("FILE", o->file, "The EOL file")->required();
  addLayout(check);
  check->add_option("--fix", o->fix, "Write a copy with the checksums recalculated");
  check->add_flag("--json", o->json, "One JSON object on standard output");
  return {command,
          [o, actions, read, write, cell, check, &store](std::ostream& out, std::ostream& err) {
            for (const Action& a : *actions)
              if (a.app->parsed()) a.completeLine();
            o->action = read->parsed()    ? "read"
                        : write->parsed() ? "write"
                        : cell->parsed()  ? "cell"
                                          : "check";
            (void)check;
            o->progress = ::isatty(STDERR_FILENO) != 0;
            return RunDataset(*o, &store, out, err);
          }};
}

}  // namespace heatdiag::cli
