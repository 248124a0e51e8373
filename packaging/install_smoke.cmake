# Installs the build into a scratch prefix and checks that the starter, the program with
# its files and lessons, the desktop entry and the icon are where the starter expects them.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX} RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
foreach(f bin/miretoka lib/miretoka/miretoka lib/miretoka/stB.bmp lib/miretoka/stW.bmp lib/miretoka/Oto1.wav
          lib/miretoka/Oto2.wav lib/miretoka/ミレトカ.hlp lib/miretoka/kyozai/figure.DAT
          lib/miretoka/kyozai/mokuji.DAT share/applications/miretoka.desktop
          share/icons/hicolor/scalable/apps/miretoka.svg)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(STRINGS ${PREFIX}/share/applications/miretoka.desktop exec REGEX "^Exec=")
if(NOT exec STREQUAL "Exec=miretoka")
  message(FATAL_ERROR "the desktop entry does not start the installed starter: ${exec}")
endif()
# The installed starter runs the program from the user's own copy of the lessons.
set(ENV{HOME} ${PREFIX}/home)
set(ENV{XDG_DATA_HOME} "")
set(ENV{XDG_CONFIG_HOME} ${PREFIX}/home/.config)
set(ENV{QT_QPA_PLATFORM} offscreen)
execute_process(COMMAND ${PREFIX}/bin/miretoka --screenshot ${PREFIX}/shot.png RESULT_VARIABLE rc TIMEOUT 60
                OUTPUT_QUIET ERROR_QUIET)
if(NOT rc EQUAL 0 OR NOT EXISTS ${PREFIX}/shot.png OR NOT EXISTS ${PREFIX}/home/.local/share/miretoka/kyozai/figure.DAT)
  message(FATAL_ERROR "the installed program did not start from the user's copy of the lessons (${rc})")
endif()
