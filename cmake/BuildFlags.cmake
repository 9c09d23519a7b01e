# One interface target carries the warnings and the shared definitions of
# every target of the project. QT_NO_DEBUG_OUTPUT must never be defined: the
# program's log goes through qDebug.
add_library(orvo_build_flags INTERFACE)
target_compile_options(orvo_build_flags INTERFACE -Wall -Wextra)
if(ORVO_WERROR)
  target_compile_options(orvo_build_flags INTERFACE -Werror)
endif()
target_compile_definitions(orvo_build_flags INTERFACE
  ORVO_VERSION="${PROJECT_VERSION}"
  QT_DEPRECATED_WARNINGS
  QT_NO_CAST_TO_ASCII
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_STRICT_ITERATORS
  QT_USE_QSTRINGBUILDER
  QT_NO_FOREACH)
# A plugin declares the signals of its interface (pure virtual there) again
# in its signals section, where moc writes their bodies; clang would ask for
# "override" on each of them beside the interface's other members.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  target_compile_options(orvo_build_flags INTERFACE -Wno-inconsistent-missing-override)
endif()
