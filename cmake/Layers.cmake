# Every layer of the program is included by its path under src/
# ("common/log.h", "gui/tray/systemtray.h"), and a target sees only the
# layers it links. Each layer target gets an include root of its own in the
# build tree holding one link, <root>/<layer> -> src/<layer>; linking a layer
# brings its root along, so an include of an unlinked layer fails to compile.
#   orvo_layer(<target> <layer path under src/>)
function(orvo_layer target layer)
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  get_filename_component(parent ${root}/${layer} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${layer})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${layer} ${root}/${layer} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
