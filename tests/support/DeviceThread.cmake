# The simulated device in a thread, for the tests and the benchmarks alike.
if(NOT TARGET ql_device_thread)
  add_library(ql_device_thread STATIC
    ${CMAKE_CURRENT_LIST_DIR}/DeviceThread.h
    ${CMAKE_CURRENT_LIST_DIR}/DeviceThread.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WaitFor.h
  )
  target_include_directories(ql_device_thread PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
  target_link_libraries(ql_device_thread PUBLIC hhcsim Threads::Threads)
  ql_project_warnings(ql_device_thread)
endif()
