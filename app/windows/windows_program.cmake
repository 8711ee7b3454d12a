# What fumilink.exe carries as a Windows program: no console window, the static Qt's
# Windows platform plugin and styles, icon, manifest and version information; and the zip
# for the calling program's installer.
set(FUMILINK_WINDOWS_DIR ${CMAKE_CURRENT_LIST_DIR})
set(FUMILINK_FILE_VERSION "${PROJECT_VERSION}")
string(REPLACE "." "," FUMILINK_VERSION_COMMAS "${FUMILINK_FILE_VERSION}")
set(FUMILINK_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/fumilink.manifest)
set(FUMILINK_WINDOWS_README ${CMAKE_CURRENT_BINARY_DIR}/LIESMICH-README.txt)
configure_file(${FUMILINK_WINDOWS_DIR}/fumilink.manifest.in ${FUMILINK_MANIFEST} @ONLY)
configure_file(${FUMILINK_WINDOWS_DIR}/LIESMICH-README.txt.in ${FUMILINK_WINDOWS_README} @ONLY)
configure_file(${FUMILINK_WINDOWS_DIR}/fumilink.rc.in ${CMAKE_CURRENT_BINARY_DIR}/fumilink.rc @ONLY)

set_target_properties(fumilink PROPERTIES WIN32_EXECUTABLE ON)
target_sources(fumilink PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/fumilink.rc)
set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/fumilink.rc APPEND PROPERTY OBJECT_DEPENDS
             ${FUMILINK_WINDOWS_DIR}/fumilink.ico ${FUMILINK_MANIFEST})
# A static Qt links plugins only when asked: the Windows platform and the Windows styles.
qt_import_plugins(fumilink
  INCLUDE Qt6::QWindowsIntegrationPlugin Qt6::QWindowsVistaStylePlugin
  EXCLUDE_BY_TYPE imageformats)

set(FUMILINK_WINDOWS_ZIP
    ${CMAKE_BINARY_DIR}/dist/fumilink-${FUMILINK_FILE_VERSION}-windows-x64.zip)
add_custom_command(OUTPUT ${FUMILINK_WINDOWS_ZIP}
  COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:fumilink> -DSTRIP=${CMAKE_STRIP}
          -DREADME=${FUMILINK_WINDOWS_README}
          -DINTEGRATION=${PROJECT_SOURCE_DIR}/docs/integration.md -DZIP=${FUMILINK_WINDOWS_ZIP}
          -P ${PROJECT_SOURCE_DIR}/cmake/windows_zip.cmake
  DEPENDS fumilink ${FUMILINK_WINDOWS_README} ${PROJECT_SOURCE_DIR}/docs/integration.md
          ${PROJECT_SOURCE_DIR}/cmake/windows_zip.cmake
  COMMENT "Packing ${FUMILINK_WINDOWS_ZIP}")
add_custom_target(fumilink-windows-zip ALL DEPENDS ${FUMILINK_WINDOWS_ZIP})
