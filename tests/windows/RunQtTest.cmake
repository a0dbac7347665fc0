# A Qt Test program under Wine, its report shown as CTest's output: Wine
# hands a Qt program's standard output nowhere, so the report goes to a file.
#   cmake -DEMULATOR=wine -DTEST=program.exe -DLOG=report.txt -P RunQtTest.cmake
file(REMOVE ${LOG})
execute_process(COMMAND ${EMULATOR} ${TEST} -o ${LOG},txt RESULT_VARIABLE result)
if(EXISTS ${LOG})
  file(READ ${LOG} report)
  message("${report}")
endif()
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${TEST}: exit ${result}")
endif()
