# cmake -DFIXTURE=<tree> -P expect_offences.cmake: the include check finds exactly the offences
# planted in the fixture tree, with their line numbers and rules.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/IncludeCheck.cmake)
heatdiag_find_include_offences(${FIXTURE} found)
set(expected
    "cli/bad.h:4: [core-without-qt]"
    "src/base/bad.h:7: [base]"
    "src/drivers/hbus/gui/bad.h:4: [core-without-qt]"
    "src/link/bad.h:5: [link]"
    "src/views/bad.h:4: [core-without-qt]")
set(got)
foreach(offence IN LISTS found)
  string(REGEX REPLACE "^([^ ]+) .*(\\[[^]]+\\]).*$" "\\1 \\2" short "${offence}")
  list(APPEND got "${short}")
endforeach()
if(NOT got STREQUAL expected)
  list(JOIN found "\n  " foundText)
  list(JOIN expected "\n  " expectedText)
  message(FATAL_ERROR "Expected:\n  ${expectedText}\nFound:\n  ${foundText}")
endif()
