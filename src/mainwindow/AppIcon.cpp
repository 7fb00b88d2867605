#include "AppIcon.h"

namespace orvelle::shell {

QIcon AppIcon() {
    QIcon icon;
    for (const int size : {16, 32, 64, 256}) {
        icon.addFile(QStringLiteral(":/icons/orvelle-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace orvelle::shell
