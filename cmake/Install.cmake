# A per-user installation: a self-contained application folder that stays writable, since
# LOGO2.DAT lives beside the executable, plus a menu entry and an optional autostart entry.
#
#   cmake --install build                          # into ~/.local
#   cmake --install build --component autostart    # also start at login
include(GNUInstallDirs)
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local" CACHE PATH "Installation prefix" FORCE)
endif()
set(LUMI_INSTALL_APP_SUBDIR "lib/lumivista")

install(TARGETS lumivista RUNTIME DESTINATION "${LUMI_INSTALL_APP_SUBDIR}" COMPONENT app)
if(LUMI_WEBENGINE)
  install(TARGETS lumivista-viewer RUNTIME DESTINATION "${LUMI_INSTALL_APP_SUBDIR}" COMPONENT app)
endif()
file(GLOB install_animations "${CMAKE_SOURCE_DIR}/assets/animations/*.gif")
install(FILES ${install_animations} DESTINATION "${LUMI_INSTALL_APP_SUBDIR}" COMPONENT app)

# The default settings go in only when the user has none: their LOGO2.DAT is never replaced.
install(CODE "
  set(settings \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${LUMI_INSTALL_APP_SUBDIR}/LOGO2.DAT\")
  if(NOT EXISTS \"\${settings}\")
    execute_process(COMMAND \"$<TARGET_FILE:lumivista-default-settings>\" --if-missing \"\${settings}\"
                    RESULT_VARIABLE result)
    if(result)
      message(FATAL_ERROR \"could not write \${settings}\")
    endif()
    message(STATUS \"Installing: \${settings}\")
  else()
    message(STATUS \"Keeping: \${settings}\")
  endif()" COMPONENT app)

# The menu entry names the executable by its installed path, known only at install time
# (cmake --install may be given another --prefix).
set(LUMI_DESKTOP_TEMPLATE "${CMAKE_SOURCE_DIR}/packaging/lumivista.desktop.in")
install(CODE "
  set(LUMI_INSTALL_APP_DIR \"\${CMAKE_INSTALL_PREFIX}/${LUMI_INSTALL_APP_SUBDIR}\")
  configure_file(\"${LUMI_DESKTOP_TEMPLATE}\" \"${CMAKE_BINARY_DIR}/lumivista.desktop\" @ONLY)" COMPONENT app)
install(FILES "${CMAKE_BINARY_DIR}/lumivista.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications" COMPONENT app)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES "${CMAKE_SOURCE_DIR}/assets/icons/lumivista-${size}.png" RENAME lumivista.png
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps" COMPONENT app)
endforeach()
install(FILES "${CMAKE_SOURCE_DIR}/packaging/lumivista.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo" COMPONENT app)

# XDG autostart lives under the configuration folder of the user who installs, whatever
# HOME was when the build was configured.
install(CODE "
  if(DEFINED ENV{XDG_CONFIG_HOME} AND IS_ABSOLUTE \"\$ENV{XDG_CONFIG_HOME}\")
    set(autostart \"\$ENV{XDG_CONFIG_HOME}/autostart\")
  else()
    set(autostart \"\$ENV{HOME}/.config/autostart\")
  endif()
  file(INSTALL DESTINATION \"\$ENV{DESTDIR}\${autostart}\" TYPE FILE
       FILES \"${CMAKE_BINARY_DIR}/lumivista.desktop\")" COMPONENT autostart EXCLUDE_FROM_ALL)
