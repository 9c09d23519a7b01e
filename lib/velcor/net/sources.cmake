# The HTTP client and the proxy factory of libvelcor.
set(VELCOR_NET_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/client.cpp
  ${CMAKE_CURRENT_LIST_DIR}/proxyfactory.cpp)
