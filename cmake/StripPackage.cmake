# Run by cpack over its staging tree just before it packs it: every ELF file (the three
# programs) is stripped as Debian's dh_strip strips an executable, which also drops the
# .comment and .note sections the plain strip of CPACK_STRIP_FILES leaves in.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS staged)
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND "${CPACK_QMX_STRIP}" --remove-section=.comment --remove-section=.note "${file}"
                    COMMAND_ERROR_IS_FATAL ANY)
    message(STATUS "Stripped ${file}")
  endif()
endforeach()
