# Packs the Windows program for the calling program's installer:
#   <ZIP>: fumilink.exe (stripped), LIESMICH-README.txt (Windows-1252, CR LF) and
#   integration.md (the English reference, UTF-8, CR LF).
# cmake -DEXE=... -DREADME=... -DINTEGRATION=... -DSTRIP=... -DZIP=... -P windows_zip.cmake
foreach(var EXE README INTEGRATION STRIP ZIP)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "windows_zip.cmake: ${var} is not set")
  endif()
endforeach()
get_filename_component(zip_dir ${ZIP} DIRECTORY)
set(stage ${zip_dir}/stage)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})

execute_process(COMMAND ${STRIP} -o ${stage}/fumilink.exe ${EXE} RESULT_VARIABLE result)
if(result)
  message(FATAL_ERROR "cannot strip ${EXE}")
endif()

# Notepad on a German Windows reads the code page, not UTF-8; and it wants CR LF.
execute_process(COMMAND iconv -f UTF-8 -t WINDOWS-1252 ${README}
                OUTPUT_VARIABLE text RESULT_VARIABLE result)
if(result)
  message(FATAL_ERROR "cannot convert ${README} to Windows-1252")
endif()
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${stage}/LIESMICH-README.txt "${text}")

# Markdown stays UTF-8 (Notepad reads UTF-8 without a mark since Windows 10 1903); the
# line ends are those of the read-me beside it.
file(READ ${INTEGRATION} text)
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${stage}/integration.md "${text}")

file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip
                        fumilink.exe LIESMICH-README.txt integration.md
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE result)
if(result)
  message(FATAL_ERROR "cannot write ${ZIP}")
endif()
file(REMOVE_RECURSE ${stage})
