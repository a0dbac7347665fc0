# Writes kq30's man page: the page's own text with each command's --help,
# so that the options it lists are always the program's own.
#   cmake -DKQ30=... -DIN=kq30.1.in -DOUT=kq30.1 -DPROJECT_VERSION=... -DKQ30_FIRMWARE_DIR=...
#         -DKQ30_PROGRAM_DIR=... -P ManPage.cmake
set(KQ30_COMMANDS "")
foreach(command ports connect upgrade bootloader baud "firmware info" "firmware dump" "firmware pack" sim)
  separate_arguments(words UNIX_COMMAND "${command}")
  execute_process(COMMAND ${KQ30} ${words} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0 OR help STREQUAL "")
    message(FATAL_ERROR "kq30 ${command} --help failed (${rc})")
  endif()
  # As troff text: backslashes escaped, no line taken for a request.
  string(REPLACE "\\" "\\e" help "${help}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
  string(REGEX REPLACE "\n+$" "" help "${help}")
  string(APPEND KQ30_COMMANDS ".SS \"kq30 ${command}\"\n.nf\n${help}\n.fi\n")
endforeach()
string(REGEX REPLACE "\n$" "" KQ30_COMMANDS "${KQ30_COMMANDS}")
configure_file(${IN} ${OUT} @ONLY)
