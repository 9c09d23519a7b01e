# Refreshes the three catalogues in TS_DIR from the sources: new texts come
# in (German and Italian untranslated, English with its source text), texts
# no source uses any more go.
#   cmake -DLUPDATE=<lupdate> -DSOURCES=<dir;dir> -DTS_DIR=<dir> -P refresh.cmake
cmake_minimum_required(VERSION 3.16)
foreach(var LUPDATE SOURCES TS_DIR)
  if(NOT ${var})
    message(FATAL_ERROR "usage: cmake -DLUPDATE=<lupdate> -DSOURCES=<dirs> -DTS_DIR=<dir> -P refresh.cmake")
  endif()
endforeach()

execute_process(
  COMMAND ${LUPDATE} -locations none -no-obsolete ${SOURCES}
          -ts ${TS_DIR}/lang_de.ts ${TS_DIR}/lang_it.ts
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "lupdate failed on the German and Italian catalogues")
endif()
# English takes no guesses from other texts: each new text gets its own
# source text below.
execute_process(
  COMMAND ${LUPDATE} -locations none -no-obsolete
          -disable-heuristic sametext -disable-heuristic similartext ${SOURCES}
          -ts ${TS_DIR}/lang_en.ts
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "lupdate failed on the English catalogue")
endif()
set(TS ${TS_DIR}/lang_en.ts)
include(${CMAKE_CURRENT_LIST_DIR}/fill-english.cmake)
