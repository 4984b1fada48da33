# The man page renders without a single warning: groff, all warnings on, no output.
#   cmake -DGROFF=... -DPAGE=... -P CheckManPage.cmake
execute_process(COMMAND ${GROFF} -man -ww -z ${PAGE}
  RESULT_VARIABLE result ERROR_VARIABLE warnings)
if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "${PAGE} (${result}):\n${warnings}")
endif()
