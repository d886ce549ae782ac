# Installs like any Linux program: the two commands, their manual pages, a
# desktop entry and its icon. The commands are stripped unless
# QUILLON_INSTALL_STRIP is off (`cmake --install --strip` strips them anyway).
#
# Every `cmake --install` rewrites the build's install_manifest.txt, so the
# build keeps a list of its own for each place it installed into
# (install-manifests/ in the build folder): the files, and the folders the
# install made. `cmake --build BUILD --target uninstall` takes back what went
# into the configured prefix, and, from the build folder,
# `cmake -D PREFIX=DIR -P SOURCE/packaging/uninstall.cmake` what went into DIR.
include(GNUInstallDirs)
option(QUILLON_INSTALL_STRIP "Strip the installed programs" ON)

set(_folders ${CMAKE_INSTALL_BINDIR} ${CMAKE_INSTALL_MANDIR}/man6 ${CMAKE_INSTALL_MANDIR}/man1
             ${CMAKE_INSTALL_DATADIR}/applications ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps
             ${CMAKE_INSTALL_DOCDIR})
# Before anything is installed: the folders that are missing (the prefix and
# those above it included), which this install makes.
install(CODE "
  set(_quillon_made)
  foreach(_folder ${_folders})
    cmake_path(ABSOLUTE_PATH _folder BASE_DIRECTORY \"\${CMAKE_INSTALL_PREFIX}\" NORMALIZE)
    string(REGEX REPLACE \"(.)/$\" \"\\\\1\" _folder \"\${_folder}\")
    while(NOT EXISTS \"\$ENV{DESTDIR}\${_folder}\")
      list(APPEND _quillon_made \"\${_folder}/\")
      cmake_path(GET _folder PARENT_PATH _folder)
    endwhile()
  endforeach()")
if(QUILLON_INSTALL_STRIP)
  install(CODE "set(CMAKE_INSTALL_DO_STRIP 1)")
endif()
install(TARGETS quillon quillon-replay RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(page quillon.6 quillon-replay.1)
  configure_file(docs/man/${page} ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
  string(REGEX REPLACE ".*\\." "" _section ${page})
  install(FILES ${CMAKE_BINARY_DIR}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${_section})
endforeach()
install(FILES packaging/quillon.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/quillon.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
# After the last file: this prefix's list, with what an earlier install
# there recorded (files one a line, folders ending in a slash).
install(CODE "
  set(_root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  cmake_path(ABSOLUTE_PATH _root NORMALIZE)
  string(REGEX REPLACE \"(.)/$\" \"\\\\1\" _root \"\${_root}\")
  string(MD5 _key \"\${_root}\")
  set(_list \"${CMAKE_BINARY_DIR}/install-manifests/\${_key}.txt\")
  set(_entries \${CMAKE_INSTALL_MANIFEST_FILES} \${_quillon_made})
  if(EXISTS \"\${_list}\")
    file(STRINGS \"\${_list}\" _before)
    list(POP_FRONT _before)
    list(APPEND _entries \${_before})
  endif()
  list(REMOVE_DUPLICATES _entries)
  list(JOIN _entries \"\\n\" _text)
  file(WRITE \"\${_list}\" \"\${_root}\\n\${_text}\\n\")")
add_custom_target(uninstall
                  COMMAND ${CMAKE_COMMAND} -D PREFIX=${CMAKE_INSTALL_PREFIX}
                          -P ${PROJECT_SOURCE_DIR}/packaging/uninstall.cmake
                  WORKING_DIRECTORY ${CMAKE_BINARY_DIR} VERBATIM)
