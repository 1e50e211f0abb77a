// heatdiag-cli dataset read|write|cell|check: the EOL dataset between the control unit and files,
// one cell, and the offline check of a file's checksums.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/settings.h"
#include "cli/headless_run.h"

namespace heatdiag::cli {

struct DatasetOptions : LineOptions {
  std::string action;  // "read", "write", "cell" or "check"
  std::string device;
  std::string file;  // --out, --in, or check's FILE
  std::string backup;
  bool noBackup = false;
  std::string mode;  // "cells", "block" or empty: the setting HBusBlock
  std::optional<int> blockBaud;
  std::string address;  // hexadecimal
  std::string value;    // hexadecimal; empty: read only
  std::string start;    // hexadecimal
  std::optional<int> size;
  std::vector<std::string> checksums;  // FIRST-LAST:ADDR:TYPE
  bool noChecksum = false;
  std::string fix;
  bool json = false;
  // Whether progress may be shown (standard error is a terminal); tests leave it off.
  bool progress = false;
};

int RunDataset(const DatasetOptions& options, SettingsBackend* store, std::ostream& out,
               std::ostream& err);

}  // namespace heatdiag::cli
