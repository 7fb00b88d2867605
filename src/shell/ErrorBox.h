#pragma once

#include "desktop/MessageBox.h"
#include "os/RuntimeError.h"

#include <exception>
#include <new>
#include <string>

namespace orvelle::shell {

// "Error: " + number + " - " + description.
std::string ErrorBoxText(const os::RuntimeError& error);

// The program's error box: that text, OK only, no icon, the application title.
void ShowErrorBox(desktop::IMessageBox& messageBox, const os::RuntimeError& error);

// Runs `handler` under the program's error trap: a RuntimeError (or any other
// exception, reported as error 5) ends it with the error box. True when it ran through.
template <typename Handler>
bool RunTrapped(desktop::IMessageBox& messageBox, Handler&& handler) {
    try {
        handler();
        return true;
    } catch (const os::RuntimeError& error) {
        ShowErrorBox(messageBox, error);
    } catch (const std::bad_alloc&) {
        ShowErrorBox(messageBox, os::RuntimeError(7, "Out of memory"));
    } catch (const std::exception& error) {
        ShowErrorBox(messageBox, os::RuntimeError(os::errors::kInvalidProcedureCall, error.what()));
    }
    return false;
}

}  // namespace orvelle::shell
