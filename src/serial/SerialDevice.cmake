# The serial device on its own: standard C++ and the operating system, no Qt. The
# core library links it, and the Windows test build under Wine builds it alone.
add_library(quorvalink_serial_device STATIC
  ${CMAKE_CURRENT_LIST_DIR}/SerialDevice.h
  ${CMAKE_CURRENT_LIST_DIR}/SerialDevice.cpp
)
# The one file per platform that talks to the serial devices.
if(WIN32)
  target_sources(quorvalink_serial_device PRIVATE ${CMAKE_CURRENT_LIST_DIR}/SerialDevice_win.cpp)
  # windows.h would otherwise define min and max as macros.
  target_compile_definitions(quorvalink_serial_device PRIVATE NOMINMAX WIN32_LEAN_AND_MEAN)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  target_sources(quorvalink_serial_device PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/SerialDevice_linux.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DeviceHolders.h
    ${CMAKE_CURRENT_LIST_DIR}/DeviceHolders_linux.cpp)
else()
  message(FATAL_ERROR "No serial device files for ${CMAKE_SYSTEM_NAME}: the serial layer is written for Linux "
                      "(termios2, /proc, statx) and Windows only.")
endif()
target_include_directories(quorvalink_serial_device PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
ql_project_warnings(quorvalink_serial_device)
