# The Windows programs in one folder with everything they load that Windows lacks:
# the Qt libraries, the Windows platform plugin, the Windows style and the
# compiler's runtime. A cross build has no windeployqt, so they are listed here.
# CPack's NSIS generator packs the folder into a 64-bit installer with a Start-menu
# entry, an uninstaller and the licence:
#   cmake --install build/windows --prefix DIR
#   cd build/windows && cpack
# Each program carries its version, for its properties and the tools that read them.
# (The description is the name Task Manager shows.)
set(programs quorvalink quorvalink-cli)
set(descriptions "Quorvalink" "Quorvalink command line")
foreach(QL_FILE_NAME QL_FILE_DESCRIPTION IN ZIP_LISTS programs descriptions)
  configure_file(version.rc.in ${QL_FILE_NAME}.rc @ONLY)
  target_sources(${QL_FILE_NAME} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${QL_FILE_NAME}.rc)
endforeach()
install(TARGETS ${programs} RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
# The Start-menu entry "Quorvalink watch" runs this script, which finds the user's
# Documents folder when it runs, not when an administrator installs.
configure_file(quorvalink-watch.cmd.in quorvalink-watch.cmd @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quorvalink-watch.cmd DESTINATION .)

# Installs a DLL into a folder of the installed one; with MinGW a copy stripped of
# its symbols, which takes a third of the Qt libraries' room and most of the runtime's.
set(stripped_dir ${PROJECT_BINARY_DIR}/stripped)
set(stripped_files)
function(ql_install_dll file destination)
  if(MINGW)
    cmake_path(GET file FILENAME name)
    set(copy ${stripped_dir}/${destination}/${name})
    add_custom_command(OUTPUT ${copy}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${stripped_dir}/${destination}
      COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${copy} ${file}
      DEPENDS ${file}
      VERBATIM)
    set(stripped_files ${stripped_files} ${copy} PARENT_SCOPE)
    set(file ${copy})
  endif()
  install(FILES ${file} DESTINATION ${destination})
endfunction()

foreach(module IN ITEMS Core Gui Widgets)
  get_target_property(file Qt6::${module} IMPORTED_LOCATION_RELEASE)
  ql_install_dll(${file} .)
endforeach()
get_target_property(file Qt6::QWindowsIntegrationPlugin IMPORTED_LOCATION_RELEASE)
ql_install_dll(${file} platforms)
get_target_property(file Qt6::QWindowsVistaStylePlugin IMPORTED_LOCATION_RELEASE)
ql_install_dll(${file} styles)

if(MINGW)
  foreach(dll IN ITEMS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE file OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    if(NOT IS_ABSOLUTE ${file})
      message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
    endif()
    ql_install_dll(${file} .)
  endforeach()
  add_custom_target(stripped_dlls ALL DEPENDS ${stripped_files})
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
set(CPACK_NSIS_CREATE_ICONS_EXTRA
  "CreateShortCut '$SMPROGRAMS\\\\$STARTMENU_FOLDER\\\\Quorvalink watch.lnk' '$INSTDIR\\\\quorvalink-watch.cmd' '' '$INSTDIR\\\\quorvalink.exe' 0")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "Delete '$SMPROGRAMS\\\\$MUI_TEMP\\\\Quorvalink watch.lnk'")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
if(CMAKE_HOST_UNIX)
  set(CPACK_NSIS_EXECUTABLE ${CMAKE_CURRENT_SOURCE_DIR}/makensis-amd64)
endif()
