#include "PanelRules.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace orvelle::filesecurity {

bool NamesAgeFile(const std::string& destination) {
    constexpr std::string_view kSuffix = ".age";
    return destination.size() >= kSuffix.size() &&
           std::equal(
               kSuffix.begin(), kSuffix.end(), destination.end() - kSuffix.size(),
               [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

std::string DecryptedFileName(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        std::string extension = name.substr(dot);
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (extension == ".kdf" || extension == ".age") {
            return path.substr(0, path.size() - extension.size());
        }
    }
    return path + ".decrypted";
}

bool ShowsKdfNotice(bool encrypting, const std::string& destination) {
    return encrypting && !Trim(destination).empty() && !NamesAgeFile(destination);
}

FieldCaptions CaptionsFor(CipherScope scope, CipherDirection direction) {
    if (scope == CipherScope::EntireFolder) {
        return direction == CipherDirection::Encrypt
                   ? FieldCaptions{"Source Folder:", "Destination File:"}
                   : FieldCaptions{"Source File:", "Destination Folder:"};
    }
    return {"Source File:", "Destination File:"};
}

BrowseTarget BrowseTargetFor(int index, const std::string& caption) {
    if (index == 0) {
        if (caption == "Source Folder:") {
            return BrowseTarget::Folder;
        }
        if (caption == "Source File:") {
            return BrowseTarget::File;
        }
    } else if (index == 1) {
        if (caption == "Destination Folder:") {
            return BrowseTarget::Folder;
        }
        if (caption == "Destination File:") {
            return BrowseTarget::File;
        }
    }
    return BrowseTarget::Nothing;
}

FileDialogChoice FileDialogFor(bool isSource, bool encrypt) {
    const desktop::FileDialogKind kind =
        isSource ? desktop::FileDialogKind::Open : desktop::FileDialogKind::Save;
    // The plain side shows every file; the encrypted side shows encrypted files.
    const bool encryptedSide = isSource != encrypt;
    if (!encryptedSide) {
        return {kind, kAllFilesFilter};
    }
    return {kind, isSource ? kEncryptedSourcesFilter : kEncryptedFilesFilter};
}

std::string FolderFieldText(std::string path, char separator) {
    if (path.size() > 1 && path.back() == separator) {
        path.pop_back();
    }
    return path;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool CheckPassphrases(const std::string& password, const std::string& reenter,
                      desktop::IMessageBox& messageBox) {
    const std::string trimmedPassword = Trim(password);
    const std::string trimmedReenter = Trim(reenter);
    if (trimmedPassword.empty() || trimmedReenter.empty()) {
        messageBox.Show("Empty is not valid.", "Password", desktop::MessageIcon::Exclamation);
        return false;
    }
    if (trimmedPassword != trimmedReenter) {
        messageBox.Show("Unmatched passwords.", "Password", desktop::MessageIcon::Exclamation);
        return false;
    }
    return true;
}

}  // namespace orvelle::filesecurity
