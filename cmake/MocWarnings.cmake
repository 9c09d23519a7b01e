# With ORVO_WERROR a warning of moc fails the build, as the compiler's do.
# moc of Qt 5 has no option for it: every target that runs AUTOMOC gets a
# wrapper (cmake/moc-werror.sh.in) that runs moc and fails, leaving no
# output, when moc warned.
#   orvo_moc_warnings_are_errors()   at the end of the top-level list file
function(orvo_moc_warnings_are_errors)
  if(NOT ORVO_WERROR)
    return()
  endif()
  get_target_property(ORVO_REAL_MOC Qt5::moc IMPORTED_LOCATION)
  # Made executable on its way from the configured copy into place.
  configure_file(${CMAKE_SOURCE_DIR}/cmake/moc-werror.sh.in
                 ${CMAKE_BINARY_DIR}/CMakeFiles/moc-werror.sh @ONLY)
  file(COPY ${CMAKE_BINARY_DIR}/CMakeFiles/moc-werror.sh DESTINATION ${CMAKE_BINARY_DIR}
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                        WORLD_READ WORLD_EXECUTE)
  set(wrapper ${CMAKE_BINARY_DIR}/moc-werror.sh)
  set(dirs ${CMAKE_SOURCE_DIR})
  while(dirs)
    list(POP_FRONT dirs dir)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    list(APPEND dirs ${subdirs})
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target ${targets})
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "INTERFACE_LIBRARY")
        continue()
      endif()
      get_target_property(automoc ${target} AUTOMOC)
      if(automoc)
        set_property(TARGET ${target} PROPERTY AUTOMOC_EXECUTABLE ${wrapper})
      endif()
    endforeach()
  endwhile()
endfunction()
