# Read by cpack for each generator. The program writes out the curl it
# carries and runs it, so the package must also pull in what that curl
# links against; dpkg-shlibdeps names those packages from curl's own
# dynamic section (the libraries' packages bring the rest).
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(QUILLMORE_SHLIBDEPS dpkg-shlibdeps REQUIRED)
  # dpkg-shlibdeps insists on a debian/control beside it, even an empty one.
  if(NOT CPACK_PACKAGE_DIRECTORY)
    message(FATAL_ERROR "CPACK_PACKAGE_DIRECTORY is not set")
  endif()
  set(scratch "${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/carried-curl")
  file(MAKE_DIRECTORY "${scratch}/debian")
  file(TOUCH "${scratch}/debian/control")
  execute_process(
    COMMAND ${QUILLMORE_SHLIBDEPS} -O "${CPACK_QUILLMORE_CARRIED_CURL}"
    WORKING_DIRECTORY "${scratch}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE errors
    OUTPUT_STRIP_TRAILING_WHITESPACE)
  file(REMOVE_RECURSE "${scratch}")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-shlibdeps on ${CPACK_QUILLMORE_CARRIED_CURL} failed: ${errors}")
  endif()
  string(REGEX REPLACE "^shlibs:Depends=" "" CPACK_DEBIAN_PACKAGE_DEPENDS "${output}")
  message(STATUS "carried curl needs: ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
endif()
