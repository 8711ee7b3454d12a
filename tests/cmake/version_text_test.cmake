# cmake -P version_text_test.cmake
# The shown version text of versions of each shape, and the versions that have none (each
# of those must stop a configuration: checked in a cmake process of its own); likewise the
# version Windows Installer compares.
#   cmake -DVERSION=... -P version_text_test.cmake   only computes VERSION's text.
#   cmake -DINSTALLER_VERSION=... -P version_text_test.cmake   only its installer version.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/version_text.cmake)

if(DEFINED VERSION)
  fumilink_version_text(text ${VERSION})
  message(STATUS "${VERSION} -> ${text}")
  return()
endif()
if(DEFINED INSTALLER_VERSION)
  fumilink_installer_version(installer ${INSTALLER_VERSION})
  message(STATUS "${INSTALLER_VERSION} -> ${installer}")
  return()
endif()

set(failures 0)
foreach(case "1.0.0.7=1.0,007" "2.13.4.56=2.13,456" "1.0.0.10=1.0,010" "3.0.9.99=3.0,999")
  string(REPLACE "=" ";" parts ${case})
  list(GET parts 0 version)
  list(GET parts 1 expected)
  fumilink_version_text(text ${version})
  if(NOT text STREQUAL expected)
    message(SEND_ERROR "${version} is shown as \"${text}\", expected \"${expected}\"")
  endif()
endforeach()

# A third part above 9 or a fourth above 99 would read back as another version.
foreach(version 1.0.0 1.0.10.7 1.0.0.100 1.0.0.7.1 1.0.a.7)
  execute_process(COMMAND ${CMAKE_COMMAND} -DVERSION=${version} -P ${CMAKE_CURRENT_LIST_FILE}
                  RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  if(result EQUAL 0)
    message(SEND_ERROR "${version} was given a shown version text")
  endif()
endforeach()

# Windows Installer reads three fields: releases that differ only in the fourth part must
# still differ there, and in the same order.
foreach(case "1.0.0.7=1.0.7" "1.0.0.10=1.0.10" "1.0.1.0=1.0.100" "2.13.4.56=2.13.456")
  string(REPLACE "=" ";" parts ${case})
  list(GET parts 0 version)
  list(GET parts 1 expected)
  fumilink_installer_version(installer ${version})
  if(NOT installer STREQUAL expected)
    message(SEND_ERROR "${version} is ${installer} to Windows Installer, expected ${expected}")
  endif()
endforeach()
# Its first two fields stop at 255.
foreach(version 256.0.0.1 1.256.0.1)
  execute_process(COMMAND ${CMAKE_COMMAND} -DINSTALLER_VERSION=${version} -P ${CMAKE_CURRENT_LIST_FILE}
                  RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
  if(result EQUAL 0)
    message(SEND_ERROR "${version} was given a Windows Installer version")
  endif()
endforeach()
