# --version prints the name and version, --help lists the options, an unknown option is refused
# with a message. Arguments: PROGRAM, VERSION.
execute_process(COMMAND ${PROGRAM} --version RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "Varistra ${VERSION}\n")
  message(FATAL_ERROR "--version: rc ${rc}, output '${out}', errors '${err}'")
endif()

execute_process(COMMAND ${PROGRAM} --help RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
foreach(expected "Usage:" "--help" "--version" "file")
  string(FIND "${out}" "${expected}" at)
  if(NOT rc EQUAL 0 OR at EQUAL -1)
    message(FATAL_ERROR "--help lacks '${expected}': rc ${rc}, output '${out}', errors '${err}'")
  endif()
endforeach()

execute_process(COMMAND ${PROGRAM} --no-such-option RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(FIND "${err}" "no-such-option" at)
if(rc EQUAL 0 OR at EQUAL -1)
  message(FATAL_ERROR "an unknown option was not refused: rc ${rc}, output '${out}', errors '${err}'")
endif()
