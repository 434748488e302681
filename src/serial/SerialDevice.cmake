# The serial device on its own: standard C++ and the operating system, no Qt. The
# serial layer's library links it, and the Windows device tests link it alone.
add_library(ql_serial_device STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SerialDevice.h
  ${CMAKE_CURRENT_LIST_DIR}/SerialDevice.cpp
)
# The one file per platform that talks to the serial devices.
if(WIN32)
  target_sources(ql_serial_device PRIVATE ${CMAKE_CURRENT_LIST_DIR}/SerialDevice_win.cpp)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  target_sources(ql_serial_device PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/SerialDevice_linux.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DeviceHolders.h
    ${CMAKE_CURRENT_LIST_DIR}/DeviceHolders_linux.cpp)
else()
  message(FATAL_ERROR "No serial device files for ${CMAKE_SYSTEM_NAME}: the serial layer is written for Linux "
                      "(termios2, /proc, statx) and Windows only.")
endif()
target_link_libraries(ql_serial_device PRIVATE ql_system_text)
ql_layer(ql_serial_device)
