# Service coordination: Manager, ApiManager and the management-server web
# API client, built into orvo_mgr with the workers.
target_sources(orvo_mgr PRIVATE
  ${CMAKE_SOURCE_DIR}/include/ORVO/manager.h
  ${CMAKE_SOURCE_DIR}/include/ORVO/apimanager.h
  ${CMAKE_SOURCE_DIR}/include/ORVO/lodestarapi.h
  ${CMAKE_SOURCE_DIR}/src/mgr/manager.cpp
  ${CMAKE_SOURCE_DIR}/src/mgr/apimanager.cpp
  ${CMAKE_SOURCE_DIR}/src/api/lodestarapi.cpp)
