#include "ErrorBox.h"

#include "Version.h"

namespace orvelle::shell {

std::string ErrorBoxText(const os::RuntimeError& error) {
    return "Error: " + std::to_string(error.Number()) + " - " + error.Description();
}

void ShowErrorBox(desktop::IMessageBox& messageBox, const os::RuntimeError& error) {
    messageBox.Show(ErrorBoxText(error), ApplicationTitle(), desktop::MessageIcon::None);
}

}  // namespace orvelle::shell
