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
  # Made anew at every configure, so a moved source tree is followed.
  file(CREATE_LINK "${folder}" "${root}/${name}" SYMBOLIC RESULT failed)
  if(failed)
    message(FATAL_ERROR "Cannot link ${root}/${name} to ${folder}: ${failed}")
  endif()
  target_include_directories(${target} PUBLIC "${root}")
  set_property(GLOBAL APPEND PROPERTY QUILLMORE_LIBRARIES ${target})
endfunction()

# Declares the library a Qt Core one: it, and everything it links, stays
# clear of Qt Gui and Qt Widgets so the command-line program and the tests
# of the lower layers need no display. The tst_layers test holds it to that.
function(quillmore_core_only target)
  set_property(GLOBAL APPEND PROPERTY QUILLMORE_CORE_ONLY ${target})
endfunction()

function(_quillmore_link_closure target out)
  set(seen "")
  set(todo ${target})
  while(todo)
    list(POP_FRONT todo current)
    if(current IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${current})
    if(NOT TARGET ${current})
      continue()
    endif()
    get_target_property(imported ${current} IMPORTED)
    get_target_property(type ${current} TYPE)
    set(links "")
    if(NOT imported AND NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(links ${current} LINK_LIBRARIES)
    endif()
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    foreach(link IN LISTS links interface)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
      if(link AND NOT link MATCHES "NOTFOUND$" AND NOT link MATCHES "^\\$<")
        list(APPEND todo ${link})
      endif()
    endforeach()
  endwhile()
  list(REMOVE_ITEM seen ${target})
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Writes, for the tst_layers test, every library of ours bottom to top with
# what it links directly and everything it links in the end. Call it once all
# targets exist.
function(quillmore_write_layer_map file)
  get_property(libraries GLOBAL PROPERTY QUILLMORE_LIBRARIES)
  get_property(core_only GLOBAL PROPERTY QUILLMORE_CORE_ONLY)
  set(text "set(LIBRARIES ${libraries})\nset(CORE_ONLY ${core_only})\n")
  foreach(library IN LISTS libraries)
    get_target_property(direct ${library} LINK_LIBRARIES)
    if(NOT direct)
      set(direct "")
    endif()
    _quillmore_link_closure(${library} closure)
    string(APPEND text "set(DIRECT_${library} ${direct})\nset(CLOSURE_${library} ${closure})\n")
  endforeach()
  file(WRITE "${file}" "${text}")
endfunction()
