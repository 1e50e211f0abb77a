#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/rows.h"
#include "drivers/catalogue/state_texts.h"

namespace heatdiag {
namespace {

// The water heaters of the header and keyword links run the state machine of the early H-Bus
// units: the same codes and step numbers up to 0x55, the gaps of that table filled, and the
// states added later from 0x56 on.
constexpr auto kWaterHeaterStates = [] {
  rows::StateTable<122> t;
  t.Add(0x00, kStInit);
  t.AddSteps(0x01, kStAbr, {11, 12, 13, 14, 15, 16, 22, 23, 24, 25, 31, 32, 41, 42, 51, 61, 71});
  t.AddRun(0x12, {kStAbsch, kStAus, kStBbtl, kStBbvl});
  t.AddSteps(0x16, kStBfoe, {11, 12, 13, 14, 15, 21, 25, 33, 34, 42});
  t.AddSteps(0x20, kStFla, {1, 2, 3, 4});
  t.AddSteps(0x24, kStFlm, {1, 2, 3, 4});
  t.Add(0x28, kStGbu);
  t.AddSteps(0x29, kStGsr, {1, 2, 3, 4});
  t.AddRun(0x2D, {kStHga, kStHge, kStHgv});
  t.AddSteps(0x30, kStKueg, {1, 2, 3, 4});
  t.AddSteps(0x34, kStLtv, {1, 2});
  t.AddSteps(0x36, kStLvt, {1, 2});
  t.Add(0x38, kStLue);
  t.AddSteps(0x39, kStRp, {1, 2});
  t.AddRun(0x3B, {kStRua, kStStv, kStStz});
  t.AddSteps(0x3E, kStVfoe, {1, 2});
  t.AddSteps(0x40, kStVgl, {1, 2, 3, 4, 5, 6, 10, 11, 21});
  t.AddRun(0x49, {kStVglp, kStVzg, kStZga});
  t.AddSteps(0x4C, kStZgl, {1, 2});
  t.AddRun(0x4E, {kStZp, kStZue, kStLos, kStZwgl, kStWs});
  t.AddSteps(0x53, kStVfoe, {3, 4, 5});
  t.AddSteps(0x56, kStSta, {1, 2});
  t.Add(0x58, kStStab);
  t.AddSteps(0x59, kStStr, {1, 2});
  t.AddRun(0x5B, {kStStromlos, kStStvTrs, kStUerb, kStUsa,  kStSan,  kStSiz,  kStSpue,    kStKbue,
                  kStKga,      kStKsa,    kStEmk,  kStEpr,  kStDiag, kStDpu,  kStBu,      kStBms,
                  kStAkue,     kStAbt,    kStFlk,  kStFlz,  kStGa,   kStExit, kStNeuInit, kStHlr,
                  kStUpr,      kStUpI,    kStApp,  kStWsue, kStFsa,  kStKomp, kStAbk});
  return t;
}();
static_assert(kWaterHeaterStates.Complete());
static_assert(kWaterHeaterStates.entries.back().code == 0x79);

}  // namespace

StateNameTable WaterHeaterStateTable() {
  return kWaterHeaterStates.entries;
}

}  // namespace heatdiag
