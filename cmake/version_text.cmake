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
