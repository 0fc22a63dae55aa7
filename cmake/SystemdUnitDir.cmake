# NORVVELM_SYSTEMD_UNIT_DIR, the folder of the norvvelmd unit: where systemd
# looks for units, /lib/systemd/system on Debian 12 for a /usr install (or what
# systemd's pkg-config file says), else below the prefix.
#
# A default derived from the prefix follows the prefix from one configuration
# to the next: a tree first configured by plain cmake (/usr/local), then by
# make for /usr, puts the unit where /usr wants it. A folder a person set
# (-DNORVVELM_SYSTEMD_UNIT_DIR=..., or in a cache editor) stays as set.
macro(norvvelm_systemd_unit_dir)
  if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(_unitdir_default /lib/systemd/system)
    find_package(PkgConfig QUIET)
    if(PKG_CONFIG_FOUND)
      pkg_get_variable(_unitdir_pc systemd systemdsystemunitdir)
      if(_unitdir_pc)
        set(_unitdir_default ${_unitdir_pc})
      endif()
    endif()
  else()
    set(_unitdir_default ${CMAKE_INSTALL_PREFIX}/lib/systemd/system)
  endif()
  if(NOT DEFINED NORVVELM_SYSTEMD_UNIT_DIR
     OR NORVVELM_SYSTEMD_UNIT_DIR STREQUAL "${_NORVVELM_SYSTEMD_UNIT_DIR_DERIVED}")
    set(NORVVELM_SYSTEMD_UNIT_DIR ${_unitdir_default} CACHE PATH "Folder of the norvvelmd service unit" FORCE)
  endif()
  set(_NORVVELM_SYSTEMD_UNIT_DIR_DERIVED ${_unitdir_default} CACHE INTERNAL "The unit folder the prefix gave")
endmacro()
