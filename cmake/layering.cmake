# SPDX-License-Identifier: GPL-3.0-or-later
# hueline_check_layer(target dir allowed sources): before target builds,
# check that the sources in dir include only their own layer and the
# layers in allowed (a list; "Qt" allows Qt). See cmake/check_layer.cmake.
function(hueline_check_layer target dir allowed sources)
  string(REPLACE ";" "," allowed_text "${allowed}")
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}.layering)
  get_filename_component(layer ${dir} NAME)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DLAYER=${layer} -DALLOWED=${allowed_text} -DDIR=${dir}
            -P ${CMAKE_SOURCE_DIR}/cmake/check_layer.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${sources} ${CMAKE_SOURCE_DIR}/cmake/check_layer.cmake
    COMMENT "Checking the includes of ${layer}"
    VERBATIM)
  add_custom_target(${target}_layering DEPENDS ${stamp})
  add_dependencies(${target} ${target}_layering)
endfunction()
