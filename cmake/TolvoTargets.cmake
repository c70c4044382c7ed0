# One static library per src/ folder; the sources are globbed so that adding a file needs no
# edit here. The link lines below are the dependency direction:
#   core <- platform <- services <- viewmodels <- components, views <- app

set(TOLVO_WARNINGS -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)

# A header that a later glob adds must re-run moc; otherwise an existing build folder keeps
# the old moc list and the link fails on the new class's vtable. moc re-runs when a list file
# of the folder changes, so the source list becomes one: rewritten only when it differs.
function(tolvo_track_sources name sources)
  set(source_list ${CMAKE_CURRENT_BINARY_DIR}/${name}_sources.cmake)
  list(JOIN sources "\n# " source_text)
  file(CONFIGURE OUTPUT ${source_list} CONTENT "# ${source_text}\n")
  include(${source_list})
endfunction()

function(tolvo_add_library name)
  cmake_parse_arguments(ARG "AUTOMOC" "" "GLOBS;EXCLUDE;DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${ARG_GLOBS})
  foreach(pattern IN LISTS ARG_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX "${pattern}")
  endforeach()
  if(NOT sources)
    # An empty folder still gives a target so that later folders can link it.
    set(stub ${CMAKE_CURRENT_BINARY_DIR}/${name}_empty.cpp)
    file(WRITE ${stub} "// no sources yet\n")
    set(sources ${stub})
  endif()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
  target_compile_options(${name} PRIVATE ${TOLVO_WARNINGS})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  tolvo_track_sources(${name} "${sources}")
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
endfunction()

# Every tests/<folder>/*Test.cpp becomes one QtTest executable registered with CTest, offscreen.
#   tolvo_add_tests(LIBS tolvo_core LABEL unit DBUS SomeTest)
# Tests named after DBUS run inside a private session bus of their own.
function(tolvo_add_tests)
  cmake_parse_arguments(ARG "" "LABEL" "LIBS;DBUS" ${ARGN})
  file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*Test.cpp)
  foreach(source IN LISTS test_sources)
    get_filename_component(test_name ${source} NAME_WE)
    add_executable(${test_name} ${source})
    target_link_libraries(${test_name} PRIVATE tolvo_testsupport ${ARG_LIBS})
    target_compile_options(${test_name} PRIVATE ${TOLVO_WARNINGS})
    set_target_properties(${test_name} PROPERTIES AUTOMOC ON)
    if(test_name IN_LIST ARG_DBUS)
      find_program(DBUS_RUN_SESSION dbus-run-session REQUIRED)
      add_test(NAME ${test_name} COMMAND ${DBUS_RUN_SESSION} -- $<TARGET_FILE:${test_name}>)
    else()
      add_test(NAME ${test_name} COMMAND ${test_name})
    endif()
    set_tests_properties(${test_name} PROPERTIES
      LABELS "${ARG_LABEL}"
      TIMEOUT 120
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endforeach()
endfunction()
