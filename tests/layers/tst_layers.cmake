cmake_minimum_required(VERSION 3.25)
# The layer rule, read off the build's own link lines (MAP, written by
# quillmore_write_layer_map): every link between two of our libraries points
# down, and a library declared Qt Core only links nothing of Qt Gui or Qt
# Widgets, nor the workbook library the desktop hands to a spreadsheet
# application, however indirectly. (The linker may drop a library nothing
# calls, so the programs' own checks alone would not see such a link.)
include("${MAP}")
if(NOT LIBRARIES OR NOT CORE_ONLY)
  message(FATAL_ERROR "${MAP} names no libraries: is it the layer map?")
endif()

set(failures "")
foreach(library IN LISTS LIBRARIES)
  list(FIND LIBRARIES ${library} level)
  foreach(link IN LISTS DIRECT_${library})
    list(FIND LIBRARIES "${link}" linked_level)
    if(linked_level GREATER_EQUAL level)
      list(APPEND failures "${library} links ${link}, which is not below it")
    endif()
  endforeach()
endforeach()

foreach(library IN LISTS CORE_ONLY)
  if(NOT "Qt6::Core" IN_LIST CLOSURE_${library})
    list(APPEND failures "${library}: no Qt6::Core among its links; the map is incomplete")
  endif()
  foreach(link IN LISTS CLOSURE_${library})
    string(TOLOWER "${link}" lower)
    if(link MATCHES "^Qt6::(Gui|Widgets|OpenGL|OpenGLWidgets|PrintSupport|Quick|Qml)$"
       OR lower MATCHES "xlsxwriter")
      list(APPEND failures "${library} is Qt Core only but links ${link}")
    endif()
  endforeach()
endforeach()

if(failures)
  list(JOIN failures "\n  " text)
  message(FATAL_ERROR "The layer rule is broken:\n  ${text}")
endif()
list(LENGTH LIBRARIES count)
list(LENGTH CORE_ONLY core_count)
message(STATUS "${count} libraries link only downwards; ${core_count} of them stay Qt Core only")
