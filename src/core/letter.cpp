#include "core/letter.h"

namespace {

// In the order of Field.
const std::array<QLatin1String, kFieldCount> kKeys = {
    QLatin1String("proxy_name"),
    QLatin1String("delegated_matter"),
    QLatin1String("year"),
    QLatin1String("month"),
    QLatin1String("day"),
    QLatin1String("vehicle_number"),
    QLatin1String("delegator1_reading"),
    QLatin1String("delegator1_name"),
    QLatin1String("delegator1_title"),
    QLatin1String("delegator1_representative"),
    QLatin1String("delegator1_address1"),
    QLatin1String("delegator1_address2"),
    QLatin1String("delegator2_reading"),
    QLatin1String("delegator2_name"),
    QLatin1String("delegator2_title"),
    QLatin1String("delegator2_representative"),
    QLatin1String("delegator2_address1"),
    QLatin1String("delegator2_address2"),
    QLatin1String("delegator3_reading"),
    QLatin1String("delegator3_name"),
    QLatin1String("delegator3_title"),
    QLatin1String("delegator3_representative"),
    QLatin1String("delegator3_address1"),
    QLatin1String("delegator3_address2"),
};

} // namespace

QLatin1String fieldKey(Field field)
{
    return kKeys[static_cast<int>(field)];
}

std::optional<Field> fieldFromKey(QStringView key)
{
    for (int i = 0; i < kFieldCount; ++i)
        if (key == kKeys[i])
            return fieldAt(i);
    return std::nullopt;
}
