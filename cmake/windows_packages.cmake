# Makes the two packages of the Windows program from one set of files:
#   <ZIP>: fumilink.exe (stripped), LIESMICH-README.txt (Windows-1252, CR LF),
#     integration.md (the English reference, UTF-8, CR LF) and policies/ (the
#     administrative template of the session records' policy: fumilink.admx, de-DE/ and
#     en-US/fumilink.adml, as PolicyDefinitions lays them out), for the calling program's
#     installer;
#   <MSI>: the first three files as a Windows Installer package (app/windows/fumilink.wxs,
#     built with wixl), for administrators, with policies/ beside it (Group Policy and
#     Intune take the template from the administrator, not from the installed program).
# With a certificate (SIGN_PKCS12, a .p12/.pfx file, and SIGN_PASSWORD_FILE, the file
# holding its password) fumilink.exe is signed before it goes into either package, and the
# MSI after it is built: Authenticode with SHA-256, time-stamped (RFC 3161) when
# SIGN_TIMESTAMP_URL names a time-stamp server. Without one, one line says that nothing is
# signed.
#   cmake -DINPUTS=windows_packages_inputs.cmake -DZIP=... -DMSI=...
#         [-DSIGN_PKCS12=... -DSIGN_PASSWORD_FILE=... [-DSIGN_TIMESTAMP_URL=...]]
#         -P windows_packages.cmake
# INPUTS sets what the build knows (made by app/windows/windows_program.cmake): EXE, STRIP,
# README, INTEGRATION, WXS, POLICIES, ICON, WIXL, OSSLSIGNCODE, PROGRAM_VERSION, INSTALLER_VERSION,
# NEXT_INSTALLER_VERSION.
foreach(var INPUTS ZIP MSI)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "windows_packages.cmake: ${var} is not set")
  endif()
endforeach()
include(${INPUTS})
# Paths as given on the command line are taken from the folder it was given in.
foreach(var ZIP MSI SIGN_PKCS12 SIGN_PASSWORD_FILE)
  if(${var})
    get_filename_component(${var} ${${var}} ABSOLUTE)
  endif()
endforeach()
set(sign OFF)
if(SIGN_PKCS12 OR SIGN_PASSWORD_FILE)
  if(NOT SIGN_PKCS12 OR NOT SIGN_PASSWORD_FILE)
    message(FATAL_ERROR "signing needs both FUMILINK_SIGN_PKCS12 and FUMILINK_SIGN_PASSWORD_FILE")
  endif()
  if(NOT OSSLSIGNCODE)
    message(FATAL_ERROR "signing needs osslsigncode (scripts/install-deps.sh win32)")
  endif()
  set(sign ON)
endif()

# sign_file(FILE): FILE replaced by its signed form.
function(sign_file file)
  set(timestamp)
  if(SIGN_TIMESTAMP_URL)
    set(timestamp -ts ${SIGN_TIMESTAMP_URL})
  endif()
  file(REMOVE ${file}.signed)
  execute_process(
    COMMAND ${OSSLSIGNCODE} sign -pkcs12 ${SIGN_PKCS12} -readpass ${SIGN_PASSWORD_FILE}
            -h sha256 -n Fumilink ${timestamp} -in ${file} -out ${file}.signed
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(result)
    message(FATAL_ERROR "cannot sign ${file}:\n${output}")
  endif()
  file(RENAME ${file}.signed ${file})
endfunction()

get_filename_component(zip_dir ${ZIP} DIRECTORY)
get_filename_component(msi_dir ${MSI} DIRECTORY)
set(stage ${zip_dir}/stage)
file(REMOVE_RECURSE ${msi_dir}/policies)
file(COPY ${POLICIES}/ DESTINATION ${msi_dir}/policies)
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage} ${msi_dir})

execute_process(COMMAND ${STRIP} -o ${stage}/fumilink.exe ${EXE} RESULT_VARIABLE result)
if(result)
  message(FATAL_ERROR "cannot strip ${EXE}")
endif()
# Stripping after signing would break the signature; both packages take the signed file.
if(sign)
  sign_file(${stage}/fumilink.exe)
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

file(COPY ${POLICIES}/ DESTINATION ${stage}/policies)

file(REMOVE ${ZIP})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${ZIP} --format=zip
                        fumilink.exe LIESMICH-README.txt integration.md policies
                WORKING_DIRECTORY ${stage} RESULT_VARIABLE result)
if(result)
  message(FATAL_ERROR "cannot write ${ZIP}")
endif()

# wixl takes the files from its current folder only: the stage, with the icon beside them.
file(REMOVE ${MSI})
file(COPY_FILE ${ICON} ${stage}/fumilink.ico)
execute_process(
  COMMAND ${WIXL} -a x64 -D InstallerVersion=${INSTALLER_VERSION}
          -D NextInstallerVersion=${NEXT_INSTALLER_VERSION} -D ProgramVersion=${PROGRAM_VERSION}
          -o ${MSI} ${WXS}
  WORKING_DIRECTORY ${stage} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(result)
  message(FATAL_ERROR "cannot build ${MSI}:\n${output}")
endif()
if(sign)
  sign_file(${MSI})
  message(STATUS "signed fumilink.exe and ${MSI} with ${SIGN_PKCS12}")
else()
  message(STATUS "not signed: FUMILINK_SIGN_PKCS12 and FUMILINK_SIGN_PASSWORD_FILE are not set")
endif()
file(REMOVE_RECURSE ${stage})
