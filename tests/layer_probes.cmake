# SPDX-License-Identifier: GPL-3.0-or-later
# Builds each probe of tests/CMakeLists.txt: PROBES ("target|header", comma
# separated) must fail because the header is not found; CONTROL must build.
function(build target result output)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  set(${result} ${rc} PARENT_SCOPE)
  set(${output} "${out}" PARENT_SCOPE)
endfunction()

string(REPLACE "," ";" probes "${PROBES}")
foreach(probe IN LISTS probes ITEMS "${CONTROL}")
  string(REPLACE "|" ";" parts "${probe}")
  list(GET parts 0 target)
  list(GET parts 1 header)
  build(${target} rc out)
  if(probe STREQUAL "${CONTROL}")
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "the control ${target} (${header}) does not compile:\n${out}")
    endif()
  elseif(rc EQUAL 0)
    message(FATAL_ERROR "${target} compiled: ${header} is visible where it must not be")
  elseif(NOT out MATCHES "${header}: No such file or directory")
    message(FATAL_ERROR "${target} failed for another reason than a missing ${header}:\n${out}")
  else()
    message(STATUS "${target}: ${header} not found, as it must be")
  endif()
endforeach()
