# Installed layout: the program folder is <prefix>/lib/orvelle (executable, its
# libraries and data files side by side); <prefix>/bin/orvelle links to it.
include(GNUInstallDirs)
set(ORVELLE_PROGRAM_DIR ${CMAKE_INSTALL_LIBDIR}/orvelle)
install(TARGETS orvelle orvelle-reg RUNTIME DESTINATION ${ORVELLE_PROGRAM_DIR})
install(TARGETS MSHook LIBRARY DESTINATION ${ORVELLE_PROGRAM_DIR})
install(FILES data/ding.wav DESTINATION ${ORVELLE_PROGRAM_DIR})
# The cipher library lives beside the program, which registers it from there;
# the veilor command finds it through its $ORIGIN run path.
install(TARGETS veilor64 LIBRARY DESTINATION ${ORVELLE_PROGRAM_DIR})
install(TARGETS veilor RUNTIME DESTINATION ${ORVELLE_PROGRAM_DIR})
install(CODE "
  file(MAKE_DIRECTORY \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR})
  file(CREATE_LINK ../${ORVELLE_PROGRAM_DIR}/veilor
       \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/veilor SYMBOLIC)")
install(CODE "
  file(MAKE_DIRECTORY \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR})
  file(CREATE_LINK ../${ORVELLE_PROGRAM_DIR}/orvelle
       \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/orvelle SYMBOLIC)
  file(CREATE_LINK ../${ORVELLE_PROGRAM_DIR}/orvelle-reg
       \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/orvelle-reg SYMBOLIC)")
install(FILES data/icons/orvelle-256.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps
  RENAME orvelle.png)
install(FILES data/orvelle.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
