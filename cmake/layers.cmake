# One folder, one library. A library's headers are included with their folder
# ("lookup/request.h"), and only a library that links this one (directly or
# through another) finds them: each library puts on the include path a
# directory of its own that holds nothing but a link named after its folder.
# An include that reaches up a layer therefore fails to compile instead of
# quietly working.
#
#   quillmore_export_folder(<target> [<folder>])
#
# <folder> defaults to the directory of the calling CMakeLists.txt.
function(quillmore_export_folder target)
  if(ARGC GREATER 1)
    set(folder "${ARGV1}")
  else()
    set(folder "${CMAKE_CURRENT_SOURCE_DIR}")
  endif()
  get_filename_component(name "${folder}" NAME)
  set(root "${PROJECT_BINARY_DIR}/include-roots/${target}")
  file(MAKE_DIRECTORY "${root}")
  if(NOT EXISTS "${root}/${name}")
    file(CREATE_LINK "${folder}" "${root}/${name}" SYMBOLIC RESULT failed)
    if(failed)
      message(FATAL_ERROR "Cannot link ${root}/${name} to ${folder}: ${failed}")
    endif()
  endif()
  target_include_directories(${target} PUBLIC "${root}")
endfunction()
