# Regenerates the skin documents into a scratch folder and compares them with
# the committed ones, so an edit to either alone is caught.
file(REMOVE_RECURSE "${SCRATCH}")
execute_process(COMMAND "${PYTHON}" "${GENERATOR}" "${SCRATCH}" RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "make_skin_docs.py failed")
endif()
file(GLOB_RECURSE generated RELATIVE "${SCRATCH}" "${SCRATCH}/*")
foreach(f IN LISTS generated)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${SCRATCH}/${f}" "${COMMITTED}/${f}" RESULT_VARIABLE diff)
  if(NOT diff EQUAL 0)
    message(FATAL_ERROR "data/skins/${f} differs from what make_skin_docs.py writes")
  endif()
endforeach()
