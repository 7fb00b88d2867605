#pragma once

#include <QString>
#include <QVariant>

namespace orvelle::veilor64 {

// Where a control keeps its saved properties between sessions (the host's form
// file or a designer), by name.
class IPropertyBag {
public:
    virtual ~IPropertyBag() = default;

    // The saved value of `name`, or `defaultValue` when none is saved.
    [[nodiscard]] virtual QVariant ReadProperty(const QString& name,
                                                const QVariant& defaultValue) = 0;
    // Saves `value` under `name`; a value equal to `defaultValue` need not be kept.
    virtual void WriteProperty(const QString& name, const QVariant& value,
                               const QVariant& defaultValue) = 0;
};

}  // namespace orvelle::veilor64
