#pragma once

#include <QIcon>

namespace orvelle::shell {

// The program's icon in every size it ships.
QIcon AppIcon();

}  // namespace orvelle::shell
