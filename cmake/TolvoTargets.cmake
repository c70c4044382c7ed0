# One static library per src/ folder; the sources are globbed so that adding a file needs no
# edit here. The link lines below are the dependency direction:
#   core <- platform <- services <- viewmodels <- components, views <- app
# and, beside the views, reserve (components and services that no screen opens yet), which
# only the gallery and the tests link.

set(TOLVO_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wno-missing-field-initializers)
# CI turns warnings into errors for our own targets (scripts/setup passes it on from the
# environment); a plain build only warns, so a newer compiler's new warning never stops a user.
option(TOLVO_WERROR "Treat warnings in Tolvo's own code as errors" OFF)
if(TOLVO_WERROR)
  list(APPEND TOLVO_WARNINGS -Werror)
endif()

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

# Fails the configuration when `target` links `forbidden`, directly or through its libraries:
# the include check (cmake/CheckLayering.cmake) cannot see a link line.
function(tolvo_forbid_link target forbidden)
  set(pending ${target})
  set(seen "")
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    if(current STREQUAL forbidden)
      message(FATAL_ERROR "${target} must not link ${forbidden}")
    endif()
    get_target_property(links ${current} LINK_LIBRARIES)
    get_target_property(interface_links ${current} INTERFACE_LINK_LIBRARIES)
    foreach(link IN LISTS links interface_links)
      if(link AND NOT link MATCHES "-NOTFOUND$")
        list(APPEND pending ${link})
      endif()
    endforeach()
  endwhile()
endfunction()

# Zones the date-sensitive tests run in once more, whatever the machine's own: west of UTC with
# American daylight saving, central Europe, a half-hour offset without daylight saving, and a
# 45-minute offset on the far side of the date line. Each run also sets a locale of that place
# (Qt reads LC_ALL itself, installed system locale or not), so that code reading the machine's
# locale shows up as well.
set(TOLVO_TEST_ZONES America/New_York Europe/Berlin Asia/Kolkata Pacific/Chatham)
set(TOLVO_TEST_ZONE_LOCALES en_US.UTF-8 de_DE.UTF-8 hi_IN.UTF-8 en_NZ.UTF-8)

# Under TOLVO_SANITIZE every test of the calling folder gets the sanitizer environment, however
# the folder registers it: the call runs once the folder's CMakeLists.txt is done.
function(tolvo_sanitize_folder_tests)
  get_property(scheduled DIRECTORY PROPERTY TOLVO_SANITIZE_SCHEDULED)
  if(NOT TOLVO_SANITIZE OR scheduled)
    return()
  endif()
  set_property(DIRECTORY PROPERTY TOLVO_SANITIZE_SCHEDULED ON)
  cmake_language(DEFER CALL _tolvo_sanitize_folder_tests_now)
endfunction()

function(_tolvo_sanitize_folder_tests_now)
  get_property(tests DIRECTORY PROPERTY TESTS)
  foreach(test IN LISTS tests)
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT "${TOLVO_SANITIZE_TEST_ENVIRONMENT}")
  endforeach()
endfunction()

# Every tests/<folder>/*Test.cpp becomes one QtTest executable registered with CTest, offscreen.
#   tolvo_add_tests(LIBS tolvo_core LABEL unit DBUS SomeTest ZONED OtherTest)
# Tests named after DBUS run inside a private session bus of their own. Tests named after ZONED
# format, bucket or map dates and must not lean on the machine's zone: each also runs as
# <Test>@<zone> for every zone of TOLVO_TEST_ZONES (labels: its own and `tz`).
function(tolvo_add_tests)
  cmake_parse_arguments(ARG "" "LABEL" "LIBS;DBUS;ZONED" ${ARGN})
  tolvo_sanitize_folder_tests()
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
    if(test_name IN_LIST ARG_ZONED)
      list(REMOVE_ITEM ARG_ZONED ${test_name})
      foreach(zone locale IN ZIP_LISTS TOLVO_TEST_ZONES TOLVO_TEST_ZONE_LOCALES)
        add_test(NAME ${test_name}@${zone} COMMAND ${test_name})
        set_tests_properties(${test_name}@${zone} PROPERTIES
          LABELS "${ARG_LABEL};tz"
          TIMEOUT 120
          ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TZ=${zone};LC_ALL=${locale}")
      endforeach()
    endif()
  endforeach()
  if(ARG_ZONED)
    message(FATAL_ERROR "No such test to run in other zones: ${ARG_ZONED}")
  endif()
endfunction()
