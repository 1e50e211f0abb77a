#include "views/trend_channels.h"

#include <cmath>
#include <limits>

#include "drivers/catalogue/name_ids.h"
#include "drivers/diag_store.h"

namespace heatdiag {

std::vector<std::uint32_t> CollectTrendItems() {
  std::vector<std::uint32_t> items;
  const std::uint32_t rows = StoreRowCount();
  for (std::uint32_t item = 0; item < rows && items.size() < kTrendMaxChannels; ++item) {
    if (StoreRowInGroup(item, kViewGraph) != 0 && StoreGetPresent(item) != 0) items.push_back(item);
  }
  return items;
}

TrendConfig BuildTrendConfig(const std::vector<std::uint32_t>& items) {
  TrendConfig config;
  const std::size_t count = std::min<std::size_t>(items.size(), kTrendMaxChannels);
  config.channelCount = static_cast<std::uint32_t>(count);
  for (std::size_t k = 0; k < count; ++k) {
    const std::uint32_t item = items[k];
    StoreRead(item, kStoreDouble | kStoreLowerBound, sizeof(double), &config.lower[k]);
    StoreRead(item, kStoreDouble | kStoreUpperBound, sizeof(double), &config.upper[k]);
    StoreRead(item, kStoreDouble | kStoreResolution, sizeof(double), &config.third[k]);
    config.name[k] = CutText(StoreGetName(item, NameForm::kShort), kTrendTextChars);
    config.unit[k] = CutText(StoreGetUnit(item), kTrendTextChars);
  }
  return config;
}

double ReadTrendSample(std::uint32_t item) {
  double value = 0.0;
  if (StoreGetShown(item) == 0 || StoreRead(item, kStoreDouble, sizeof value, &value) == 0)
    return std::numeric_limits<double>::quiet_NaN();
  return value;
}

std::string TrendChannelMenuText(bool graphOpen, const std::vector<std::uint32_t>& items,
                                 std::uint32_t channel) {
  if (!graphOpen || channel >= items.size()) return ".";
  const std::string name =
      CutText(StoreGetName(items[channel], NameForm::kLong), kTrendMenuNameChars);
  const std::string shortName =
      CutText(StoreGetName(items[channel], NameForm::kShort), kTrendMenuNameChars);
  if (shortName == name) return name;
  return name + " (" + shortName + ")";
}

std::optional<std::uint32_t> OperatingStateItem(std::uint32_t device) {
  const ParameterCatalogue catalogue = DriverCatalogue(device);
  for (std::size_t row = 0; row < catalogue.size(); ++row) {
    const ParameterDescriptor& d = catalogue[row];
    if (d.kind == ValueKind::kText &&
        (d.nameId == kNameOperatingStateOs || d.nameId == kNameActualOperatingState))
      return static_cast<std::uint32_t>(row);
  }
  return std::nullopt;
}

}  // namespace heatdiag
