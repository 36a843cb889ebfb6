# Builds each probe that reaches one layer up and passes only when every one
# fails for the one right reason: the header above is not there to include.
# Run one after another, as one test, so that no two builds share the tree.
#   cmake -DBUILD_DIR=... -DPROBES="target=header;..." -P check_reach_up.cmake
foreach(probe IN LISTS PROBES)
  string(REPLACE "=" ";" parts "${probe}")
  list(GET parts 0 target)
  list(GET parts 1 header)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${target}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(result EQUAL 0)
    message(FATAL_ERROR "${target} built: its layer can include ${header}")
  endif()
  string(FIND "${output}" "${header}: No such file or directory" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "${target} failed for another reason than the missing ${header}:\n${output}")
  endif()
  message(STATUS "${target}: ${header} is out of its reach")
endforeach()
