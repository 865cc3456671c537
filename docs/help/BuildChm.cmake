# cmake -DCHMCMD=... -DSTAGE=dir -DPROJECT_FILE=x.hhp -DINPUTS=a;b -DOUTPUT=file -P BuildChm.cmake
# (the project's "Compiled file" is help.chm)
# chmcmd writes next to its project and only warns about broken links, so it runs on a copy of
# the sources and any warning fails the build.
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${STAGE})
file(COPY ${INPUTS} DESTINATION ${STAGE})
execute_process(
  COMMAND ${CHMCMD} ${PROJECT_FILE}
  WORKING_DIRECTORY ${STAGE}
  RESULT_VARIABLE result
  OUTPUT_VARIABLE output
  ERROR_VARIABLE output)
string(REGEX MATCHALL "(Warning|Error)[^\n]*" problems "${output}")
if(NOT result EQUAL 0 OR problems)
  message(FATAL_ERROR "chmcmd failed (exit status ${result}):\n${output}")
endif()
file(COPY_FILE ${STAGE}/help.chm ${OUTPUT})
