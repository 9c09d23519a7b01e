# Fails when a catalogue lags behind the sources or leaves a text
# untranslated: refreshes copies of the three catalogues as the
# update_translations target does, and compares.
#   cmake -DLUPDATE=<lupdate> -DROOT=<source dir> -DWORK_DIR=<dir> -P check-translations.cmake
cmake_minimum_required(VERSION 3.16)
foreach(var LUPDATE ROOT WORK_DIR)
  if(NOT ${var})
    message(FATAL_ERROR "usage: cmake -DLUPDATE=<lupdate> -DROOT=<dir> -DWORK_DIR=<dir> -P check-translations.cmake")
  endif()
endforeach()

set(langs de it en)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
foreach(lang ${langs})
  file(COPY ${ROOT}/translations/lang_${lang}.ts DESTINATION ${WORK_DIR})
endforeach()
set(LUPDATE ${LUPDATE})
set(SOURCES ${ROOT}/src ${ROOT}/lib)
set(TS_DIR ${WORK_DIR})
include(${ROOT}/translations/refresh.cmake)

set(failures 0)
foreach(lang ${langs})
  file(READ ${ROOT}/translations/lang_${lang}.ts committed)
  file(READ ${WORK_DIR}/lang_${lang}.ts refreshed)
  if(NOT committed STREQUAL refreshed)
    message("lang_${lang}.ts is not up to date with the sources: "
            "cmake --build <build dir> --target update_translations")
    math(EXPR failures "${failures} + 1")
  endif()
  # German and Italian translate everything; English leaves out only what
  # shows its source text (fill-english.cmake) and fills every plural form.
  if(lang STREQUAL "en")
    string(REGEX MATCHALL "<source>[^<]*</source>[ \n]*<translation type=\"unfinished\">[ \n]*<numerusform>"
           open "${refreshed}")
  else()
    string(REGEX MATCHALL "<source>[^<]*</source>[ \n]*<translation type=\"unfinished\""
           open "${refreshed}")
  endif()
  foreach(entry ${open})
    string(REGEX REPLACE "<source>([^<]*)</source>.*" "\\1" text "${entry}")
    message("lang_${lang}.ts: not translated: \"${text}\"")
    math(EXPR failures "${failures} + 1")
  endforeach()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} problem(s) with the catalogues")
endif()
message("The catalogues are complete")
