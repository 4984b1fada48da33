# Checked builds. Included before any target is defined, so the flags reach the
# library, the tool, the reference program and the tests alike.
#
# TRELVIN_SANITIZE: AddressSanitizer and UndefinedBehaviorSanitizer; the first report
#   ends the process. The run keeps its joints, hierarchy and capture record until the
#   process ends, so run it with ASAN_OPTIONS=detect_leaks=0 except for the destroyer
#   tests (see .ci/run).
# TRELVIN_FUZZ: instruments everything for libFuzzer (clang only) and builds the fuzz
#   targets of tests/fuzz. Use tests/fuzz/run.sh, which configures its own folder.
# Neither changes floating-point code generation.
option(TRELVIN_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TRELVIN_FUZZ "Build the libFuzzer targets (clang)" OFF)

if(TRELVIN_SANITIZE OR TRELVIN_FUZZ)
  # float-cast-overflow is part of clang's undefined, not of gcc's.
  set(trelvin_sanitizers address,undefined,float-cast-overflow)
  if(TRELVIN_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
      message(FATAL_ERROR "TRELVIN_FUZZ needs clang++ (-DCMAKE_CXX_COMPILER=clang++)")
    endif()
    # The fuzz targets link the fuzzer's main themselves; everything else is only
    # instrumented for it.
    set(trelvin_sanitizers fuzzer-no-link,${trelvin_sanitizers})
  endif()
  add_compile_options(-fsanitize=${trelvin_sanitizers} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${trelvin_sanitizers} -fno-sanitize-recover=all)
endif()
