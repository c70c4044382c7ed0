# Runs at install time (see backend/CMakeLists.txt): writes the relay's systemd unit naming the
# executable under the prefix of this install, not of the configuration, and installs it.
# Takes TOLVO_UNIT_TEMPLATE, TOLVO_UNIT_STAGING (a build folder), TOLVO_UNIT_BINDIR and
# TOLVO_UNIT_DIR (each relative to the prefix or absolute).
function(tolvo_under_prefix out folder)
  if(IS_ABSOLUTE "${folder}")
    set(${out} "${folder}" PARENT_SCOPE)
  else()
    set(${out} "${CMAKE_INSTALL_PREFIX}/${folder}" PARENT_SCOPE)
  endif()
endfunction()

# The name the unit template uses.
tolvo_under_prefix(CMAKE_INSTALL_FULL_BINDIR "${TOLVO_UNIT_BINDIR}")
tolvo_under_prefix(unit_dir "${TOLVO_UNIT_DIR}")
configure_file("${TOLVO_UNIT_TEMPLATE}" "${TOLVO_UNIT_STAGING}/tolvo-backend.service" @ONLY)
# file(INSTALL) adds DESTDIR and records the file in the install manifest, as install() does.
file(INSTALL DESTINATION "${unit_dir}" TYPE FILE FILES "${TOLVO_UNIT_STAGING}/tolvo-backend.service")
