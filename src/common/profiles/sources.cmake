# Connection profiles: the record, the store and their file steps.
set(ORVO_PROFILES_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/connprofile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/profiles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/profilefs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/profilefs.h
  ${CMAKE_SOURCE_DIR}/include/ORVO/connprofile.h
  ${CMAKE_SOURCE_DIR}/include/ORVO/connprofiles.h)
