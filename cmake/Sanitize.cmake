# Checked builds. Included before any target is defined, so the flags reach the
# library, the tool, the reference program and the tests alike.
#
# TRELVIN_SANITIZE: AddressSanitizer and UndefinedBehaviorSanitizer; the first report
#   ends the process. The run keeps its joints, hierarchy and capture record until the
#   process ends, so run it with ASAN_OPTIONS=detect_leaks=0 except for the destroyer
#   tests (see .ci/run).
# It does not change floating-point code generation. The fuzz targets are a project of
# their own (tests/fuzz, built with clang by tests/fuzz/run.sh).
option(TRELVIN_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(TRELVIN_SANITIZE)
  # float-cast-overflow is part of clang's undefined, not of gcc's.
  set(trelvin_sanitizers address,undefined,float-cast-overflow)
  add_compile_options(-fsanitize=${trelvin_sanitizers} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${trelvin_sanitizers} -fno-sanitize-recover=all)
endif()
