# What fumilink.exe carries as a Windows program: no console window, the static Qt's
# Windows platform plugin and styles, icon, manifest and version information; and its
# packages, the zip for the calling program's installer and the MSI for administrators.
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

# The packages: the zip for the calling program's installer and the MSI for administrators
# (cmake/windows_packages.cmake), both in dist/. Windows Installer compares three version
# fields, so the MSI carries the installer version (cmake/version_text.cmake).
find_program(FUMILINK_WIXL wixl REQUIRED)
find_program(FUMILINK_OSSLSIGNCODE osslsigncode)
fumilink_installer_version(FUMILINK_INSTALLER_VERSION ${PROJECT_VERSION})
string(REGEX MATCH "^[0-9]+\\.[0-9]+\\." _installer_major_minor ${FUMILINK_INSTALLER_VERSION})
string(REGEX MATCH "[0-9]+$" _installer_release ${FUMILINK_INSTALLER_VERSION})
math(EXPR _installer_release "${_installer_release} + 1")
set(FUMILINK_WINDOWS_PACKAGE_INPUTS ${CMAKE_CURRENT_BINARY_DIR}/windows_packages_inputs.cmake)
file(GENERATE OUTPUT ${FUMILINK_WINDOWS_PACKAGE_INPUTS} CONTENT "\
# What cmake/windows_packages.cmake packs, as this build made it.
set(EXE [[$<TARGET_FILE:fumilink>]])
set(STRIP [[${CMAKE_STRIP}]])
set(README [[${FUMILINK_WINDOWS_README}]])
set(INTEGRATION [[${PROJECT_SOURCE_DIR}/docs/integration.md]])
set(WXS [[${FUMILINK_WINDOWS_DIR}/fumilink.wxs]])
set(POLICIES [[${FUMILINK_WINDOWS_DIR}/policies]])
set(ICON [[${FUMILINK_WINDOWS_DIR}/fumilink.ico]])
set(WIXL [[${FUMILINK_WIXL}]])
set(OSSLSIGNCODE [[${FUMILINK_OSSLSIGNCODE}]])
set(PROGRAM_VERSION [[${PROJECT_VERSION}]])
set(INSTALLER_VERSION [[${FUMILINK_INSTALLER_VERSION}]])
set(NEXT_INSTALLER_VERSION [[${_installer_major_minor}${_installer_release}]])
")

# The certificate comes from the environment of the configuration (scripts/test.sh
# configures on every run); it is part of the command, so a changed one makes the packages
# anew. The password stays in its file.
set(_sign_options)
foreach(_sign PKCS12 PASSWORD_FILE TIMESTAMP_URL)
  if(DEFINED ENV{FUMILINK_SIGN_${_sign}} AND NOT "$ENV{FUMILINK_SIGN_${_sign}}" STREQUAL "")
    list(APPEND _sign_options "-DSIGN_${_sign}=$ENV{FUMILINK_SIGN_${_sign}}")
  endif()
endforeach()

set(FUMILINK_WINDOWS_DIST ${CMAKE_BINARY_DIR}/dist)
set(FUMILINK_WINDOWS_ZIP ${FUMILINK_WINDOWS_DIST}/fumilink-${FUMILINK_FILE_VERSION}-windows-x64.zip)
set(FUMILINK_WINDOWS_MSI ${FUMILINK_WINDOWS_DIST}/fumilink-${FUMILINK_FILE_VERSION}-windows-x64.msi)
add_custom_command(OUTPUT ${FUMILINK_WINDOWS_ZIP} ${FUMILINK_WINDOWS_MSI}
  COMMAND ${CMAKE_COMMAND} -DINPUTS=${FUMILINK_WINDOWS_PACKAGE_INPUTS}
          -DZIP=${FUMILINK_WINDOWS_ZIP} -DMSI=${FUMILINK_WINDOWS_MSI} ${_sign_options}
          -P ${PROJECT_SOURCE_DIR}/cmake/windows_packages.cmake
  DEPENDS fumilink ${FUMILINK_WINDOWS_PACKAGE_INPUTS} ${FUMILINK_WINDOWS_README}
          ${PROJECT_SOURCE_DIR}/docs/integration.md ${FUMILINK_WINDOWS_DIR}/fumilink.wxs
          ${FUMILINK_WINDOWS_DIR}/fumilink.ico ${PROJECT_SOURCE_DIR}/cmake/windows_packages.cmake
          ${FUMILINK_WINDOWS_DIR}/policies/fumilink.admx
          ${FUMILINK_WINDOWS_DIR}/policies/de-DE/fumilink.adml
          ${FUMILINK_WINDOWS_DIR}/policies/en-US/fumilink.adml
  COMMENT "Packing ${FUMILINK_WINDOWS_ZIP} and ${FUMILINK_WINDOWS_MSI}")
add_custom_target(fumilink-windows-packages ALL DEPENDS ${FUMILINK_WINDOWS_ZIP} ${FUMILINK_WINDOWS_MSI})
