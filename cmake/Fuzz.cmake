# The fuzzing build: every library instrumented for libFuzzer's coverage and checked by
# AddressSanitizer and UndefinedBehaviorSanitizer; the fuzz targets link libFuzzer's driver.
# Configure it with clang in a build tree of its own (scripts/fuzz.sh does).
if(HEATDIAG_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "HEATDIAG_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
  endif()
  if(HEATDIAG_SANITIZE)
    message(FATAL_ERROR "HEATDIAG_FUZZ brings its own sanitizers; leave HEATDIAG_SANITIZE empty")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
