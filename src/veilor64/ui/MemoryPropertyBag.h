#pragma once

#include "PropertyBag.h"

#include <QVariantMap>

namespace orvelle::veilor64 {

// A property bag held in memory: the designed properties of a form's controls.
// It keeps only values that differ from their defaults, as a form file does.
class MemoryPropertyBag final : public IPropertyBag {
public:
    MemoryPropertyBag() = default;
    explicit MemoryPropertyBag(QVariantMap values) : values_(std::move(values)) {}

    [[nodiscard]] QVariant ReadProperty(const QString& name, const QVariant& defaultValue) override;
    void WriteProperty(const QString& name, const QVariant& value,
                       const QVariant& defaultValue) override;

    [[nodiscard]] const QVariantMap& Values() const noexcept { return values_; }

private:
    QVariantMap values_;
};

}  // namespace orvelle::veilor64
