# The version as the program shows it (the title bar, the Windows read-me), made from the
# four-part project version MAJOR.MINOR.PATCH.TWEAK as Windows writes program versions:
# MAJOR "." MINOR "," and then PATCH as one digit and TWEAK as two, so 1.0.0.7 is shown as
# "1.0,007" and 2.1.0.12 as "2.1,012". A version that cannot be written so (a missing
# part, PATCH above 9, TWEAK above 99) stops the configuration instead of showing a text
# that reads back as another version.
#   fumilink_version_text(OUT_VARIABLE VERSION)
function(fumilink_version_text out version)
  if(NOT version MATCHES "^([0-9]+)\\.([0-9]+)\\.([0-9])\\.([0-9][0-9]?)$")
    message(FATAL_ERROR "version \"${version}\" has no shown form: it needs four parts, "
                        "the third at most 9 and the fourth at most 99")
  endif()
  set(tweak ${CMAKE_MATCH_4})
  string(LENGTH "${tweak}" tweak_digits)
  if(tweak_digits EQUAL 1)
    set(tweak "0${tweak}")
  endif()
  set(${out} "${CMAKE_MATCH_1}.${CMAKE_MATCH_2},${CMAKE_MATCH_3}${tweak}" PARENT_SCOPE)
endfunction()

# The version Windows Installer sees: MAJOR.MINOR and then PATCH and TWEAK as the one
# three-digit number of the shown text, so 1.0.0.7 ("1.0,007") is 1.0.7 and 2.1.3.12
# ("2.1,312") is 2.1.312. Windows Installer compares only the first three fields of a
# product version: with the fourth one kept apart, 1.0.0.7 and 1.0.0.8 would be the same
# version to it, and the newer package would be installed beside the older one instead of
# replacing it. Its fields stop at 255, 255 and 65535.
#   fumilink_installer_version(OUT_VARIABLE VERSION)
function(fumilink_installer_version out version)
  fumilink_version_text(text ${version})
  string(REGEX MATCH "^([0-9]+)\\.([0-9]+),([0-9]+)$" match "${text}")
  if(CMAKE_MATCH_1 GREATER 255 OR CMAKE_MATCH_2 GREATER 255)
    message(FATAL_ERROR "version \"${version}\" has no Windows Installer form: "
                        "its first two parts must be at most 255")
  endif()
  # "007" is the number 7 (a leading zero would make another version string).
  math(EXPR release "${CMAKE_MATCH_3}")
  set(${out} "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}.${release}" PARENT_SCOPE)
endfunction()
