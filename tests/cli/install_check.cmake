# `cmake --install` into a scratch prefix puts a working selvo in its bin/,
# which says the project's VERSION.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${status}")
endif()
execute_process(COMMAND "${PREFIX}/bin/selvo" --version
                RESULT_VARIABLE status OUTPUT_VARIABLE version)
file(REMOVE_RECURSE "${PREFIX}")
if(NOT status EQUAL 0 OR NOT version STREQUAL "selvo ${VERSION}\n")
  message(FATAL_ERROR "installed selvo: status ${status}, \"${version}\" instead of \"selvo ${VERSION}\"")
endif()
