# norvvelm_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>] [GUI])
# One Qt Test executable registered with CTest. Tests never need a display:
# GUI ones run on the offscreen platform.
function(norvvelm_add_test name)
  cmake_parse_arguments(T "GUI" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE norvvelm_options Qt6::Test ${T_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;NORVVELM_BIN=${PROJECT_BINARY_DIR}/bin")
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
endfunction()

# Adds every listed sub-folder that has a CMakeLists.txt.
macro(norvvelm_add_present_subdirs)
  foreach(_d ${ARGN})
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${_d}/CMakeLists.txt)
      add_subdirectory(${_d})
    endif()
  endforeach()
endmacro()
