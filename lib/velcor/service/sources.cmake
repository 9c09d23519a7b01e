# The service half of libvelcor: API objects over the shared service
# connection, the request server and the log listener.
set(VELCOR_SERVICE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/actionrequest.h
  ${CMAKE_CURRENT_LIST_DIR}/address.cpp
  ${CMAKE_CURRENT_LIST_DIR}/address.h
  ${CMAKE_CURRENT_LIST_DIR}/api.cpp
  ${CMAKE_CURRENT_LIST_DIR}/linedecoder.h
  ${CMAKE_CURRENT_LIST_DIR}/listen.h
  ${CMAKE_CURRENT_LIST_DIR}/loglistener.cpp
  ${CMAKE_CURRENT_LIST_DIR}/protocol.cpp
  ${CMAKE_CURRENT_LIST_DIR}/protocol.h
  ${CMAKE_CURRENT_LIST_DIR}/requestapis.cpp
  ${CMAKE_CURRENT_LIST_DIR}/server.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serviceconnection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/serviceconnection.h
  ${CMAKE_CURRENT_LIST_DIR}/statusapi.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vlog.h)
