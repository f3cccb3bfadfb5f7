# The same seeds must give the same runs wherever the campaign runs: started from another
# folder, with another temporary folder and another process id, every run's result code and
# virtual time stay the same. Otherwise a printed seed would not replay its run.
#   cmake -DCAMPAIGN=path/to/fault_campaign -DWORK=scratch/folder -P ReplayAlike.cmake
file(MAKE_DIRECTORY "${WORK}/a-temporary-folder-of-another-length")
set(_runs)
foreach(_tmp "${WORK}" "${WORK}/a-temporary-folder-of-another-length")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env "TMPDIR=${_tmp}" "${CAMPAIGN}" --runs 300 --verbose
                  WORKING_DIRECTORY "${_tmp}" OUTPUT_VARIABLE _out RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "fault_campaign failed (${_rc}) with TMPDIR=${_tmp}:\n${_out}")
  endif()
  string(REPLACE ";" "," _out "${_out}")  # a list separator to CMake
  string(REGEX MATCHALL "seed [0-9]+: code [^\n]*" _lines "${_out}")
  list(LENGTH _lines _n)
  if(NOT _n EQUAL 300)
    message(FATAL_ERROR "expected 300 runs, read ${_n}")
  endif()
  list(APPEND _runs "${_lines}")
endforeach()
list(SUBLIST _runs 0 300 _first)
list(SUBLIST _runs 300 300 _second)
foreach(_i RANGE 299)
  list(GET _first ${_i} _a)
  list(GET _second ${_i} _b)
  if(NOT _a STREQUAL _b)
    message(FATAL_ERROR "a seed ran otherwise in another folder:\n  ${_a}\n  ${_b}")
  endif()
endforeach()
