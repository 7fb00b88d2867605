#include "ErrorBox.h"

#include "Version.h"

namespace orvelle::shell {

std::string ErrorBoxText(const platform::RuntimeError& error) {
    return "Error: " + std::to_string(error.Number()) + " - " + error.Description();
}

void ShowErrorBox(platform::IMessageBox& messageBox, const platform::RuntimeError& error) {
    messageBox.Show(ErrorBoxText(error), ApplicationTitle(), platform::MessageIcon::None);
}

}  // namespace orvelle::shell
