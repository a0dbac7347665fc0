# kq30.exe under Wine beside the Linux kq30, on the sample firmware: "info"
# prints the same lines (Windows ends them with CR LF), "dump" writes the same
# image and "pack" makes the same firmware file from the same Intel HEX.
#   cmake -DKQ30_EXE=... -DLINUX_BUILD=... -DWORK=... -P CompareFirmwareTool.cmake
set(linux ${LINUX_BUILD}/tools/kq30)
set(sample ${LINUX_BUILD}/samples/KQ-30.bin)
set(hex ${LINUX_BUILD}/samples/sample-firmware.hex)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(run result)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${rc}): ${err}")
  endif()
  string(REPLACE "\r\n" "\n" out "${out}")
  set(${result} "${out}" PARENT_SCOPE)
endfunction()

function(same_file a b what)
  file(SHA256 ${a} ha)
  file(SHA256 ${b} hb)
  if(NOT ha STREQUAL hb)
    message(FATAL_ERROR "${what}: ${a} and ${b} differ")
  endif()
endfunction()

run(windows wine ${KQ30_EXE} firmware info ${sample})
run(native ${linux} firmware info ${sample})
if(NOT windows STREQUAL native OR native STREQUAL "")
  message(FATAL_ERROR "firmware info differs:\n--- Windows\n${windows}--- Linux\n${native}")
endif()

run(ignored wine ${KQ30_EXE} firmware dump ${sample} -o ${WORK}/windows.img)
run(ignored ${linux} firmware dump ${sample} -o ${WORK}/linux.img)
same_file(${WORK}/windows.img ${WORK}/linux.img "firmware dump")

# The sample's own version and date, as its info shows them.
string(REGEX MATCH "\nversion: ([^\n]*)\ndate: ([^\n]*)" ignored "\n${native}")
set(header --version ${CMAKE_MATCH_1} --date ${CMAKE_MATCH_2})
run(ignored wine ${KQ30_EXE} firmware pack ${hex} -o ${WORK}/windows.bin ${header})
run(ignored ${linux} firmware pack ${hex} -o ${WORK}/linux.bin ${header})
same_file(${WORK}/windows.bin ${WORK}/linux.bin "firmware pack")
same_file(${WORK}/windows.bin ${sample} "firmware pack against the sample")
message(STATUS "info, dump and pack agree with the Linux build")
