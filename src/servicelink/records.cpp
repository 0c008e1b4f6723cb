#include "servicelink/records.h"

#include <algorithm>
#include <cstring>

namespace servicelink {

std::u16string textFromField(const TextField& field)
{
    const char16_t* end = std::find(field, field + kTextUnits, u'\0');
    return std::u16string(field, end);
}

bool textToField(TextField& field, const std::u16string& text)
{
    const std::size_t units = std::min(text.size(), kTextUnits);
    std::memset(field, 0, sizeof(TextField));
    std::copy(text.data(), text.data() + units, field);
    return units == text.size();
}

} // namespace servicelink
