# What the tests and the benchmarks share, without GoogleTest: the simulated device
# in a thread, pseudo-terminal pairs, record makers and a bounded poll.
if(NOT TARGET ql_test_kit)
  add_library(ql_test_kit STATIC
    ${CMAKE_CURRENT_LIST_DIR}/DeviceThread.h
    ${CMAKE_CURRENT_LIST_DIR}/DeviceThread.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PtyPair.h
    ${CMAKE_CURRENT_LIST_DIR}/PtyPair.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RecordMakers.h
    ${CMAKE_CURRENT_LIST_DIR}/RecordMakers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WaitFor.h
  )
  target_include_directories(ql_test_kit PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(ql_test_kit PUBLIC hhcsim Threads::Threads)
  ql_project_warnings(ql_test_kit)
endif()
