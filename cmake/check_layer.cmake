# SPDX-License-Identifier: GPL-3.0-or-later
# Refuses an include that crosses an edge the layering does not allow.
#   cmake -DLAYER=ops -DALLOWED=picture -DDIR=src/imaging/ops -P check_layer.cmake
# LAYER may include its own headers and those of the layers in ALLOWED
# (comma-separated); "Qt" in ALLOWED lets it include Qt. Headers of the
# standard library and of system libraries are always allowed; a header of
# another part of the program ("imaging/...", "render/", "app/", "batch/")
# or of Qt is refused unless allowed.
cmake_minimum_required(VERSION 3.25)
string(REPLACE "," ";" allowed "${ALLOWED}")
list(APPEND allowed ${LAYER})
file(GLOB_RECURSE files ${DIR}/*.h ${DIR}/*.cpp)
set(faults "")
foreach(file IN LISTS files)
  file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include")
  foreach(line IN LISTS includes)
    set(target "")
    if(line MATCHES "#[ \t]*include[ \t]*[<\"](Q[A-Za-z]*)")
      set(target Qt)
    elseif(line MATCHES "#[ \t]*include[ \t]*[<\"][^>\"]*\\.\\./")
      set(target "a folder above (../)")
    elseif(line MATCHES "#[ \t]*include[ \t]*[<\"]imaging/([a-z_]+)/")
      set(target ${CMAKE_MATCH_1})
    elseif(line MATCHES "#[ \t]*include[ \t]*[<\"]imaging/")
      set(target "imaging")
    elseif(line MATCHES "#[ \t]*include[ \t]*[<\"](render|app|batch)/")
      set(target ${CMAKE_MATCH_1})
    endif()
    if(target AND NOT target IN_LIST allowed)
      string(STRIP "${line}" line)
      list(APPEND faults "${file}: ${LAYER} may not include ${target} (${line})")
    endif()
  endforeach()
endforeach()
if(faults)
  # Each fault on a line of its own, unwrapped, then the error.
  list(JOIN faults "\n" text)
  message(NOTICE "${text}")
  message(FATAL_ERROR "Include across a layer: the build refuses it")
endif()
