# Where an installed Orvelle lives (Filesystem Hierarchy Standard):
#   <libdir>/orvelle      the program folder: orvelle, orvelle-reg, veilor, libMSHook.so,
#                         libveilor64.so side by side ($ORIGIN finds the libraries)
#   <datadir>/orvelle     read-only data (ding.wav), found from the program folder by the
#                         fixed relative path ORVELLE_DATA_FROM_PROGRAM
#   <bindir>              the commands, as links into the program folder
# In the build tree everything lies in build/<preset>/bin, the data files included.
include(GNUInstallDirs)
set(ORVELLE_PROGRAM_DIR ${CMAKE_INSTALL_LIBDIR}/orvelle)
set(ORVELLE_DATA_DIR ${CMAKE_INSTALL_DATADIR}/orvelle)
file(RELATIVE_PATH ORVELLE_DATA_FROM_PROGRAM
  ${CMAKE_INSTALL_FULL_LIBDIR}/orvelle ${CMAKE_INSTALL_FULL_DATADIR}/orvelle)

# The commands: each is an executable target installed into the program folder, linked
# from <bindir> and documented by the manual page data/man/<command>.1.scd. A new
# command is one more name here.
set(ORVELLE_COMMANDS orvelle orvelle-reg veilor orvelle-clean)
