# The unit folder follows the prefix from one configuration to the next unless
# a person set it: cmake -DSOURCE=<source dir> -DOUT=<scratch dir> -P UnitDirFollowsPrefix.cmake
file(REMOVE_RECURSE ${OUT})
# Configures the scratch tree with the arguments; `var` gets the unit folder.
function(unit_dir_after var)
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE}/tests/package/unitdir -B ${OUT}
                          -DNORVVELM_SOURCE_DIR=${SOURCE} ${ARGN}
                  OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "configure ${ARGN} failed:\n${out}")
  endif()
  file(STRINGS ${OUT}/CMakeCache.txt line REGEX "^NORVVELM_SYSTEMD_UNIT_DIR:")
  string(REGEX REPLACE "^[^=]*=" "" got "${line}")
  message(STATUS "configured with '${ARGN}': ${got}")
  set(${var} "${got}" PARENT_SCOPE)
endfunction()
function(expect expected)
  unit_dir_after(got ${ARGN})
  if(NOT got STREQUAL expected)
    message(FATAL_ERROR "after configuring with '${ARGN}' the unit folder is '${got}', not '${expected}'")
  endif()
endfunction()

# What a tree configured for /usr at once gives: the package's folder.
unit_dir_after(for_usr -DCMAKE_INSTALL_PREFIX=/usr)
if(for_usr MATCHES "^/usr/local")
  message(FATAL_ERROR "a /usr tree puts the unit in ${for_usr}")
endif()
file(REMOVE_RECURSE ${OUT})
# The first configured by plain cmake, as an IDE does, then by make deb.
expect(/usr/local/lib/systemd/system)
expect(${for_usr} -DCMAKE_INSTALL_PREFIX=/usr)
expect(/opt/nv/lib/systemd/system -DCMAKE_INSTALL_PREFIX=/opt/nv)
# A folder a person set stays whatever the prefix becomes.
expect(/srv/units -DNORVVELM_SYSTEMD_UNIT_DIR=/srv/units)
expect(/srv/units -DCMAKE_INSTALL_PREFIX=/usr)
file(REMOVE_RECURSE ${OUT})
