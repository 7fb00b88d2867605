#include "MemoryPropertyBag.h"

#include <QPixmap>

namespace orvelle::veilor64 {
namespace {

// Pictures have no equality of their own: two are the same when both are
// empty or both are the same image.
bool Same(const QVariant& left, const QVariant& right) {
    if (left.typeId() == QMetaType::QPixmap && right.typeId() == QMetaType::QPixmap) {
        const auto a = left.value<QPixmap>();
        const auto b = right.value<QPixmap>();
        return (a.isNull() && b.isNull()) || a.cacheKey() == b.cacheKey();
    }
    return left == right;
}

}  // namespace

QVariant MemoryPropertyBag::ReadProperty(const QString& name, const QVariant& defaultValue) {
    return values_.value(name, defaultValue);
}

void MemoryPropertyBag::WriteProperty(const QString& name, const QVariant& value,
                                      const QVariant& defaultValue) {
    if (Same(value, defaultValue)) {
        values_.remove(name);
    } else {
        values_.insert(name, value);
    }
}

}  // namespace orvelle::veilor64
