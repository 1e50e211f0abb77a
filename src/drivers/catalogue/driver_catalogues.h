// The catalogue and operating-state table of each device record other than the H-Bus driver
// (drivers/hbus/catalogue.h). DriverCatalogue / DriverStateTable in parameter.h pick them by
// device index; a driver module may also call its own directly.
#pragma once

#include "drivers/catalogue/parameter.h"

namespace heatdiag {

// Header link
ParameterCatalogue CatalogueD01();  // 37 rows
StateNameTable StateTableD01();     // 122 records (water heater table)

// Five-baud links
ParameterCatalogue CatalogueD02();  // 22 rows; its operating state is a mode text, no table
ParameterCatalogue CatalogueD18();  // 51 rows
StateNameTable StateTableD18();     // 27 records

// Keyword links
ParameterCatalogue CatalogueD03();  // 44 rows
StateNameTable StateTableD03();     // 122 records (water heater table)
ParameterCatalogue CatalogueD04();  // 32 rows
StateNameTable StateTableD04();     // 122 records (water heater table)
ParameterCatalogue CatalogueD05();  // 41 rows
StateNameTable StateTableD05();     // 122 records (water heater table)
ParameterCatalogue CatalogueD06();  // 58 rows
StateNameTable StateTableD06();     // 122 records (water heater table)
ParameterCatalogue CatalogueD07();  // 34 rows
StateNameTable StateTableD07();     // 36 records
ParameterCatalogue CatalogueD08();  // 49 rows
StateNameTable StateTableD08();     // 44 records
ParameterCatalogue CatalogueD09();  // 37 rows, no operating-state row
ParameterCatalogue CatalogueD10();  // 39 rows, shared by D10 and D11
StateNameTable StateTableD10();     // 73 records, shared by D10 and D11
ParameterCatalogue CatalogueD13();  // 46 rows, no operating-state row
ParameterCatalogue CatalogueD14();  // 54 rows
StateNameTable StateTableD14();     // 50 records

// Slow links
ParameterCatalogue CatalogueD12();  // 26 rows
StateNameTable StateTableD12();     // 29 records
ParameterCatalogue CatalogueD15();  // 27 rows
StateNameTable StateTableD15();     // 48 records
ParameterCatalogue CatalogueD16();  // 25 rows, shared by D16 and D17; no operating-state row

// The operating-state table that the water heaters of the header and keyword links share
// (D01, D03-D06): the codes of the early H-Bus units, the gaps filled, extended to 0x79.
StateNameTable WaterHeaterStateTable();

}  // namespace heatdiag
