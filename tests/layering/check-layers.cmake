# Fails when a lower layer includes a higher one.
#   cmake -DROOT=<source dir> -P check-layers.cmake
# Layers are named by the first part of a quoted include path
# ("mgr/manager.h" reaches into mgr). The stand-ins of the outside libraries
# include nothing of the client; common reaches nothing above it; profiles
# only common; mgr and gui only common and profiles; a plugin only gui,
# common, profiles and itself; main anything.
cmake_minimum_required(VERSION 3.16)
if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<dir> -P check-layers.cmake")
endif()

set(client_layers common profiles mgr gui plugin main)
set(allowed_common common)
set(allowed_profiles common profiles)
set(allowed_mgr common profiles mgr)
set(allowed_gui common profiles gui)
set(allowed_main ${client_layers})

set(failures 0)
file(GLOB_RECURSE files RELATIVE ${ROOT}
  ${ROOT}/src/*.h ${ROOT}/src/*.cpp ${ROOT}/lib/*.h ${ROOT}/lib/*.cpp)
foreach(file ${files})
  if(file MATCHES "^lib/")
    set(layer lib)
    set(allowed "")
  elseif(file MATCHES "^src/plugin/([^/]+)/")
    set(layer "plugin/${CMAKE_MATCH_1}")
    set(allowed common profiles gui ${layer})
  elseif(file MATCHES "^src/([^/]+)/")
    set(layer ${CMAKE_MATCH_1})
    set(allowed ${allowed_${layer}})
  else()
    continue()
  endif()
  file(STRINGS ${ROOT}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line ${includes})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" path "${line}")
    string(REGEX MATCH "^[^/]+" first "${path}")
    if(NOT first IN_LIST client_layers)
      continue() # a library's header, or a private header of the same folder
    endif()
    if(first STREQUAL "plugin")
      string(REGEX MATCH "^plugin/[^/]+" first "${path}")
    endif()
    if(NOT first IN_LIST allowed)
      message(STATUS "LAYERING: ${file}: layer ${layer} includes \"${path}\" of layer ${first}")
      math(EXPR failures "${failures} + 1")
    endif()
  endforeach()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} include(s) reach into a higher layer")
endif()
list(LENGTH files count)
message(STATUS "Layering: ${count} files checked, no include reaches upwards")
