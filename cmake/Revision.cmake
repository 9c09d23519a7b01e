# The seven-digit source revision of the build. Taken from git when the tree
# is a checkout, else a fixed placeholder.
set(ORVO_REVISION "0000000")
find_program(GIT_EXECUTABLE git)
if(GIT_EXECUTABLE AND EXISTS ${CMAKE_SOURCE_DIR}/.git)
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --short=7 HEAD
                  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                  OUTPUT_VARIABLE _rev OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET RESULT_VARIABLE _res)
  if(_res EQUAL 0 AND _rev MATCHES "^[0-9a-f]+$")
    string(SUBSTRING "${_rev}" 0 7 ORVO_REVISION)
  endif()
endif()
