# The program folder and the commands (cmake/OrvelleLayout.cmake names the folders);
# the data files install from data/CMakeLists.txt.
install(TARGETS ${ORVELLE_COMMANDS} RUNTIME DESTINATION ${ORVELLE_PROGRAM_DIR})
# The hot-key library and the cipher library live beside the program, which loads them
# from there; veilor finds the cipher library through its $ORIGIN run path.
install(TARGETS MSHook veilor64 LIBRARY DESTINATION ${ORVELLE_PROGRAM_DIR})

file(RELATIVE_PATH orvelle_bin_to_program
  ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR}/orvelle)
foreach(command IN LISTS ORVELLE_COMMANDS)
  install(CODE "
    file(MAKE_DIRECTORY \$ENV{DESTDIR}${CMAKE_INSTALL_FULL_BINDIR})
    file(CREATE_LINK ${orvelle_bin_to_program}/${command}
         \$ENV{DESTDIR}${CMAKE_INSTALL_FULL_BINDIR}/${command} SYMBOLIC)")
endforeach()
