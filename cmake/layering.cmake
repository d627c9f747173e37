# SPDX-License-Identifier: GPL-3.0-or-later
# The layering, enforced twice.
#
# hueline_layer_root(target layer allowed): the compiler's own refusal.
# target's include root (build/layers/<target>) holds links to its own
# layer's headers and to those of the layers in allowed, nothing else, so
# that an include that crosses an edge does not compile. Targets above see
# the roots of what they link, which all lie below them.
#
# hueline_check_layer(target dir allowed sources): before target builds,
# check that the sources and headers in dir include only their own layer
# and the layers in allowed (a list; "Qt" allows Qt), in either include
# form. See cmake/check_layer.cmake.

# Where a layer's headers live, relative to src/ (and so to a root).
function(hueline_layer_path layer out)
  if(layer MATCHES "^(picture|ops|codecs|metafile|session)$")
    set(${out} imaging/${layer} PARENT_SCOPE)
  else()
    set(${out} ${layer} PARENT_SCOPE)
  endif()
endfunction()

function(hueline_layer_root target layer allowed)
  set(root ${CMAKE_BINARY_DIR}/layers/${target})
  file(REMOVE_RECURSE ${root})
  foreach(each IN LISTS layer allowed)
    if(each STREQUAL "Qt")
      continue()
    endif()
    hueline_layer_path(${each} path)
    get_filename_component(parent ${root}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${path} ${root}/${path} SYMBOLIC)
  endforeach()
  target_include_directories(${target} PUBLIC ${root})
endfunction()

function(hueline_check_layer target dir allowed sources)
  file(GLOB headers CONFIGURE_DEPENDS ${dir}/*.h)
  string(REPLACE ";" "," allowed_text "${allowed}")
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}.layering)
  get_filename_component(layer ${dir} NAME)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DLAYER=${layer} -DALLOWED=${allowed_text} -DDIR=${dir}
            -P ${CMAKE_SOURCE_DIR}/cmake/check_layer.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${sources} ${headers} ${CMAKE_SOURCE_DIR}/cmake/check_layer.cmake
    COMMENT "Checking the includes of ${layer}"
    VERBATIM)
  add_custom_target(${target}_layering DEPENDS ${stamp})
  add_dependencies(${target} ${target}_layering)
endfunction()
