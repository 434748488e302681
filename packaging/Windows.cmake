# The Windows programs in one folder with everything they load that Windows lacks:
# the Qt libraries, the Windows platform plugin, the Windows style and the
# compiler's runtime. A cross build has no windeployqt, so they are listed here.
# CPack's NSIS generator packs the folder into a 64-bit installer with a Start-menu
# entry, an uninstaller and the licence:
#   cmake --install build/windows --prefix DIR
#   cd build/windows && cpack
install(TARGETS quorvalink quorvalink-cli RUNTIME DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets> DESTINATION .)
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

if(MINGW)
  # Stripped, the runtime is less than half its size.
  set(runtime_dir ${PROJECT_BINARY_DIR}/runtime)
  set(runtime_files)
  foreach(dll IN ITEMS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE source OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    if(NOT IS_ABSOLUTE ${source})
      message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
    endif()
    add_custom_command(OUTPUT ${runtime_dir}/${dll}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${runtime_dir}
      COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${runtime_dir}/${dll} ${source}
      DEPENDS ${source}
      VERBATIM)
    list(APPEND runtime_files ${runtime_dir}/${dll})
  endforeach()
  add_custom_target(runtime ALL DEPENDS ${runtime_files})
  install(FILES ${runtime_files} DESTINATION .)
else()
  set(CMAKE_INSTALL_SYSTEM_RUNTIME_DESTINATION .)
  include(InstallRequiredSystemLibraries)
endif()

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_FILE_NAME quorvalink-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quorvalink)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Quorvalink)
set(CPACK_NSIS_PACKAGE_NAME Quorvalink)
set(CPACK_NSIS_DISPLAY_NAME Quorvalink)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_PACKAGE_EXECUTABLES quorvalink Quorvalink)
set(CPACK_NSIS_INSTALLED_ICON_NAME quorvalink.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
if(CMAKE_HOST_UNIX)
  set(CPACK_NSIS_EXECUTABLE ${CMAKE_CURRENT_SOURCE_DIR}/makensis-amd64)
endif()
