# One interface target carries the warnings and the shared definitions of
# every target of the project. QT_NO_DEBUG_OUTPUT must never be defined: the
# program's log goes through qDebug.
add_library(orvo_build_flags INTERFACE)
target_compile_options(orvo_build_flags INTERFACE -Wall -Wextra)
if(ORVO_WERROR)
  target_compile_options(orvo_build_flags INTERFACE -Werror)
endif()
target_compile_definitions(orvo_build_flags INTERFACE
  QT_DEPRECATED_WARNINGS
  QT_NO_FOREACH)
target_include_directories(orvo_build_flags INTERFACE ${CMAKE_SOURCE_DIR}/include)
