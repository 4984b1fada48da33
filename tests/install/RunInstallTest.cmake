# The installed package, seen from outside the source tree. Installs the build into a
# scratch prefix, checks what landed there, builds the client project in client/ with
# find_package against that prefix alone, runs it and checks its exact output, then runs
# the installed tool on a copy of the installed example take.
#
#   cmake -DBUILD_DIR=... -DWORK_DIR=... -DGENERATOR=... -DCXX_COMPILER=... -DCONFIG=...
#         -P RunInstallTest.cmake
cmake_minimum_required(VERSION 3.20)

foreach(var BUILD_DIR WORK_DIR GENERATOR CXX_COMPILER CONFIG)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

# Runs a command and stops the test when it fails; its standard output is left in
# the variable named by OUTPUT.
function(run_step name)
  cmake_parse_arguments(PARSE_ARGV 1 step "" "OUTPUT;WORKING_DIRECTORY" "COMMAND")
  if(NOT step_WORKING_DIRECTORY)
    set(step_WORKING_DIRECTORY ${WORK_DIR})
  endif()
  execute_process(COMMAND ${step_COMMAND}
    WORKING_DIRECTORY ${step_WORKING_DIRECTORY}
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${name} failed (${result}):\n${out}\n${err}")
  endif()
  if(step_OUTPUT)
    set(${step_OUTPUT} "${out}" PARENT_SCOPE)
  endif()
endfunction()

function(expect_equal what actual expected)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what}:\n--- expected\n${expected}\n--- got\n${actual}")
  endif()
endfunction()

run_step("install" COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                           --config ${CONFIG})

# Exactly the public headers, under trelvin/; none of the program's own.
file(GLOB_RECURSE headers RELATIVE ${prefix}/include ${prefix}/include/*)
list(SORT headers)
expect_equal("installed headers" "${headers}"
  "trelvin/BbVector.h;trelvin/BoFileIO.h;trelvin/BoXform.h;trelvin/GbTransform.h")
foreach(file bin/trelvin lib/libmotion.a share/man/man1/trelvin.1
    lib/cmake/trelvin/trelvinConfig.cmake lib/cmake/trelvin/trelvinConfigVersion.cmake
    lib/cmake/trelvin/trelvinTargets.cmake share/doc/trelvin/examples/walk.cap)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

# The version file as find_package consults it: requests of the same major version up
# to the installed one are served, others are not.
foreach(row "1;TRUE" "1.0;TRUE" "1.0.0;TRUE" "1.1;FALSE" "0.9;FALSE" "2.0;FALSE")
  list(GET row 0 PACKAGE_FIND_VERSION)
  list(GET row 1 expected)
  string(REPLACE "." ";" parts "${PACKAGE_FIND_VERSION}")
  list(GET parts 0 PACKAGE_FIND_VERSION_MAJOR)
  unset(PACKAGE_VERSION_COMPATIBLE)
  include(${prefix}/lib/cmake/trelvin/trelvinConfigVersion.cmake)
  expect_equal("find_package(trelvin ${PACKAGE_FIND_VERSION}) compatible"
    "${PACKAGE_VERSION_COMPATIBLE}" "${expected}")
endforeach()

# The client finds the package through the prefix only; the package registry is off,
# and the cache must show the package was taken from the prefix.
run_step("client configure" COMMAND ${CMAKE_COMMAND}
  -S ${CMAKE_CURRENT_LIST_DIR}/client -B ${WORK_DIR}/client-build -G ${GENERATOR}
  -DCMAKE_CXX_COMPILER=${CXX_COMPILER} -DCMAKE_BUILD_TYPE=${CONFIG}
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
file(STRINGS ${WORK_DIR}/client-build/CMakeCache.txt found REGEX "^trelvin_DIR:")
expect_equal("package found at" "${found}" "trelvin_DIR:PATH=${prefix}/lib/cmake/trelvin")

run_step("client build" COMMAND ${CMAKE_COMMAND} --build ${WORK_DIR}/client-build
                                --config ${CONFIG})
find_program(client client PATHS ${WORK_DIR}/client-build
  PATH_SUFFIXES ${CONFIG} NO_DEFAULT_PATH REQUIRED)
run_step("client run" COMMAND ${client} OUTPUT client_output)
expect_equal("client output" "${client_output}" "\
zyx 10 20 30 -> z 10.00 y 20.00 x 30.00
xyz 10 20 30 -> z 33.75 y 11.82 x 19.01
client warning [File] Could not open the file 'no-such-take.dat'.
missing file: no record
")

# The installed tool on a copy of the installed example: silent, the recording moved
# aside unchanged, one output row per recorded row; the hips columns pass through.
file(COPY ${prefix}/share/doc/trelvin/examples/ DESTINATION ${WORK_DIR}/take)
run_step("installed trelvin" COMMAND ${prefix}/bin/trelvin old.bod new.bod walk.cap
  WORKING_DIRECTORY ${WORK_DIR}/take OUTPUT tool_output)
expect_equal("trelvin output" "${tool_output}" "")
file(READ ${prefix}/share/doc/trelvin/examples/walk.dat recorded)
file(READ ${WORK_DIR}/take/,walk.dat moved_aside)
expect_equal("moved-aside take" "${moved_aside}" "${recorded}")
file(STRINGS ${WORK_DIR}/take/walk.dat rows)
list(LENGTH rows nrows)
expect_equal("rows written" "${nrows}" "12")
set(hips " 0.00\t 96.26\t 0.00\t-27.19\t-32.09\t-4.62\t")
string(LENGTH "${hips}" length)
list(GET rows 0 first)
string(SUBSTRING "${first}" 0 ${length} first)
expect_equal("hips columns of row 1" "${first}" "${hips}")
