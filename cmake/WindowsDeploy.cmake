# Windows: the program is a window program (no console), and `cmake --install`
# puts it in the install folder with the Qt libraries and plugins it needs, found
# by windeployqt, so that the folder runs on a PC without Qt.
set_target_properties(quorvalink PROPERTIES WIN32_EXECUTABLE ON)
install(TARGETS quorvalink RUNTIME DESTINATION .)

find_program(QL_WINDEPLOYQT windeployqt HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}" REQUIRED)
install(CODE "
  execute_process(
    COMMAND \"${QL_WINDEPLOYQT}\" --no-translations --compiler-runtime
            \"\${CMAKE_INSTALL_PREFIX}/quorvalink.exe\"
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR \"windeployqt failed: \${result}\")
  endif()
")
