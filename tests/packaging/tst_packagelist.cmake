# The package-list guard: it passes on the repository as it is, and it stops a
# project that asks for a package the list does not install, naming both.
#   cmake -DROOT=<repository> -DSCRATCH=<folder> -P tst_packagelist.cmake
execute_process(COMMAND "${CMAKE_COMMAND}" -DROOT=${ROOT} -P "${ROOT}/cmake/check-packages.cmake"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "The repository's own projects fail the guard:\n${out}${err}")
endif()

file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}/scripts" "${SCRATCH}/extra")
file(WRITE "${SCRATCH}/scripts/packages.txt" "# list\ncmake\nqt6-base-dev\n")
file(WRITE "${SCRATCH}/scripts/cmake-packages.txt" "Qt6 qt6-base-dev\nPkgConfig pkg-config\n")
file(WRITE "${SCRATCH}/CMakeLists.txt" "find_package(Qt6 REQUIRED COMPONENTS Core) # find_package(Commented)\n")
file(WRITE "${SCRATCH}/extra/CMakeLists.txt"
     "find_package(QCoro6 REQUIRED)\nfind_package(PkgConfig)\nfind_library(PN_LIB NAMES phonenumber)\n"
     "find_path(PN_DIR phonenumbers/phonenumberutil.h)\n")
execute_process(COMMAND "${CMAKE_COMMAND}" -DROOT=${SCRATCH} -P "${ROOT}/cmake/check-packages.cmake"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(text "${out}${err}")
if(status EQUAL 0)
  message(FATAL_ERROR "A project asking for QCoro6 passed the guard:\n${text}")
endif()
foreach(expected
        "extra/CMakeLists.txt asks for 'QCoro6', which scripts/cmake-packages.txt does not name"
        "asks for 'PkgConfig', from the Debian package 'pkg-config', which scripts/packages.txt does not install"
        "asks for 'lib:phonenumber'"
        "asks for 'path:phonenumbers/phonenumberutil.h'")
  string(FIND "${text}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "The guard's report lacks \"${expected}\":\n${text}")
  endif()
endforeach()
string(FIND "${text}" "Commented" at)
if(NOT at EQUAL -1)
  message(FATAL_ERROR "A commented-out call was counted:\n${text}")
endif()
