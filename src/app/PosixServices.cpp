#include "PosixServices.h"

#include "AppIcon.h"
#include "BrowserProfileFolders.h"
#include "XdgPaths.h"

namespace orvelle::app {

PosixServices::PosixServices(platform::IMessageBox* messageBoxOverride)
    : registry(platform::posix::SqliteRegistry::DefaultPath()),
      settings(registry),
      profile(platform::posix::IniProfileFile::DefaultPath()),
      tray(shell::AppIcon()),
      browsers([this] {
          return platform::posix::BrowserProfileFolders(registry, platform::posix::XdgPaths::Home(),
                                                        platform::posix::XdgPaths::ConfigHome());
      }),
      services{registry, settings,
               messageBoxOverride != nullptr ? *messageBoxOverride : messageBox, profile,  startupList, process,
               files,    tempPath, clock,      eventPump, tray, browsers, keys, sound, fileDialog} {}

}  // namespace orvelle::app
