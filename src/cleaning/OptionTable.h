#pragma once

#include "os/ShellFolders.h"

#include <array>

namespace orvelle::cleaning {

// What an option's step does; each is one operation of IStepOperations.
enum class OptionStep {
    None,  // the option only carries a state
    TypedURLs,
    RecentFiles,
    MyDocuments,
    RecycleBin,
    InternetCache,
    Cookies,
    Favorites,
    InternetHistory,
    WindowsTemp,
    Clipboard,
    RunHistory,
    ScriptDebugger,
    ScriptDebuggerX,
};

// One of the sixteen cleaning options (chkSettings index = position in the table).
struct OptionRow {
    const char* caption;  // the box's caption
    const char* message;  // the step's log and status text ("" when it writes none)
    OptionStep step;
    int specialFolder;  // the shell folder the step walks first, or -1
    bool traces;        // the trace catalog's locations of this option are part of the step
    bool setsStatus;    // the step shows "<message> ..." in the status line
};

// The run, the erasers, the preview and orvelle-clean all read this table; where the
// traces of an option live on this machine is the trace catalog's own table.
inline constexpr std::array<OptionRow, 16> kOptionTable = {{
    {"Prevent Sites from improperly changing your Home Page", "", OptionStep::None, -1, false,
     false},
    {"Clear Windows' secret index.dat file", "", OptionStep::None, -1, false, false},
    {"Clear Site Addresses", "Erasing 'Auto Complete' Site Addresses", OptionStep::TypedURLs, -1,
     true, false},
    {"Clear Recent Files List", "Erasing Recent Files", OptionStep::RecentFiles, os::CSIDL_RECENT,
     true, false},
    {"Clear My Documents Files", "Erasing My Documents Files", OptionStep::MyDocuments,
     os::CSIDL_PERSONAL, false, false},
    {"Clear Recycle Bin", "Erasing Contents of Recycle Bin", OptionStep::RecycleBin, -1, false,
     false},
    {"Clear Temporary Internet Files", "Erasing Internet Cashe", OptionStep::InternetCache,
     os::CSIDL_INTERNET_CACHE, true, true},
    {"Clear Browser Cookies", "Erasing Browser Cookies", OptionStep::Cookies, os::CSIDL_COOKIES,
     true, false},
    {"Clear Browser Favorites ", "Erasing Browser Favorites", OptionStep::Favorites,
     os::CSIDL_FAVORITES, true, false},
    {"Clear Browser History Logs", "Erasing Internet History", OptionStep::InternetHistory,
     os::CSIDL_HISTORY, true, true},
    {"Frees space on your Hard Drive", "", OptionStep::None, -1, false, false},
    {"Windows Temp Directories", "Erasing Windows Temporary Files", OptionStep::WindowsTemp, -1,
     false, true},
    {"Clear Clipboard", "", OptionStep::Clipboard, -1, true, false},
    {"Delete Windows start menu \"run\" history", "Erasing Windows Start Run History",
     OptionStep::RunHistory, -1, true, false},
    {"Disable Script Debugging", "", OptionStep::ScriptDebugger, -1, false, false},
    {"Don't Display a Notification About Every Script Error", "", OptionStep::ScriptDebuggerX, -1,
     false, false},
}};

inline constexpr OptionRow kNoOption{"", "", OptionStep::None, -1, false, false};

// The row of option `index`; a row with no step for an index out of range.
[[nodiscard]] constexpr const OptionRow& OptionAt(int index) {
    return index >= 0 && index < static_cast<int>(kOptionTable.size())
               ? kOptionTable[static_cast<std::size_t>(index)]
               : kNoOption;
}

}  // namespace orvelle::cleaning
