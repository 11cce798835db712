# Where an install puts things. The panel finds Alarm.wav and its Logs folder beside its own
# file, so it lives in a folder of its own, lib/quellmarinox-simple-panel, and bin/ holds a
# small launcher that runs it (and turns a plain file name into -F<file>, for the desktop entry).
# QMX_PANEL_INSTALL_DIR (lib/quellmarinox-simple-panel) is set in cmake/ProjectOptions.cmake.
include(GNUInstallDirs)

set(QMX_DOC_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/doc/quellmarinox-simple-panel)

# The programs link only system libraries, found by the usual search: no RPATH.
set_target_properties(quellmarinox-simple-panel quellmarinox-unit-sim quellmarinox-log-report PROPERTIES INSTALL_RPATH "")
install(TARGETS quellmarinox-simple-panel RUNTIME DESTINATION ${QMX_PANEL_INSTALL_DIR})
install(FILES ${QMX_PROGRAM_DIR}/Alarm.wav DESTINATION ${QMX_PANEL_INSTALL_DIR})
configure_file(packaging/quellmarinox-simple-panel.sh ${PROJECT_BINARY_DIR}/quellmarinox-simple-panel.sh @ONLY)
install(PROGRAMS ${PROJECT_BINARY_DIR}/quellmarinox-simple-panel.sh DESTINATION ${CMAKE_INSTALL_BINDIR}
        RENAME quellmarinox-simple-panel)
install(TARGETS quellmarinox-unit-sim quellmarinox-log-report RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The log report finds an installed panel's logs at ../lib/quellmarinox-simple-panel/Logs from bin/.
install(DIRECTORY examples/ DESTINATION ${QMX_DOC_INSTALL_DIR}/examples)

install(FILES packaging/quellmarinox-simple-panel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES packaging/quellmarinox-simple-panel.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES packaging/icons/quellmarinox-simple-panel.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES packaging/icons/quellmarinox-simple-panel-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME quellmarinox-simple-panel.png)
endforeach()
install(FILES packaging/copyright DESTINATION ${QMX_DOC_INSTALL_DIR})

# Manual pages and the changelog are compressed as Debian wants them (-n: no name or time
# stamp inside, so a rebuild gives the same bytes).
set(QMX_COMPRESSED_FILES "")
function(qmx_compress source compressed)
  add_custom_command(OUTPUT ${compressed}
                     COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${source} ${compressed}
                     DEPENDS ${source} VERBATIM)
  set(QMX_COMPRESSED_FILES ${QMX_COMPRESSED_FILES} ${compressed} PARENT_SCOPE)
endfunction()

# Every page in doc/man/ (all in section 1).
file(GLOB QMX_MAN_PAGES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/doc/man/*.1)
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/man)
set(QMX_COMPRESSED_MAN_PAGES "")
foreach(page ${QMX_MAN_PAGES})
  get_filename_component(name ${page} NAME)
  qmx_compress(${page} ${PROJECT_BINARY_DIR}/man/${name}.gz)
  list(APPEND QMX_COMPRESSED_MAN_PAGES ${PROJECT_BINARY_DIR}/man/${name}.gz)
endforeach()
qmx_compress(${PROJECT_SOURCE_DIR}/packaging/debian/changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_target(compressed_docs ALL DEPENDS ${QMX_COMPRESSED_FILES})
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${QMX_DOC_INSTALL_DIR})
install(FILES ${QMX_COMPRESSED_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The panel writes its event log into Logs beside itself; an installed panel's folder belongs
# to root, so Logs is a link to a log folder that its operators may write. Under the prefix
# /usr (the Debian package) that is QMX_LOG_DIR, which the package's postinst makes with its
# group; under any other prefix it is PREFIX/var/log/..., made here.
install(CODE "set(panel_dir \"${QMX_PANEL_INSTALL_DIR}\")\nset(log_dir \"${QMX_LOG_DIR}\")")
install(CODE [=[
  set(logs_link "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${panel_dir}/Logs")
  if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(logs "${log_dir}")
  else()
    set(logs "${CMAKE_INSTALL_PREFIX}${log_dir}")
    file(MAKE_DIRECTORY "$ENV{DESTDIR}${logs}")
  endif()
  message(STATUS "Installing: ${logs_link} -> ${logs}")
  file(REMOVE "${logs_link}")
  file(CREATE_LINK "${logs}" "${logs_link}" SYMBOLIC)
]=])

# An installation into a scratch folder, checked, and the installed panel run once (through
# the emulator in a cross build).
add_test(NAME install_tree COMMAND sh ${PROJECT_SOURCE_DIR}/tests/install/install_tree.sh ${PROJECT_BINARY_DIR}
                                   ${QMX_PANEL_INSTALL_DIR} ${QMX_LOG_DIR} ${CMAKE_CROSSCOMPILING_EMULATOR})
set_tests_properties(install_tree PROPERTIES TIMEOUT 120)
