#include "core/RegistryValue.h"

namespace RegistryValue {

std::string dwordText(const char *data, std::uint32_t size) {
    static const char hex[] = "0123456789ABCDEF";
    std::string digits;
    for (std::uint32_t i = size; i-- > 0;) {
        const auto byte = static_cast<unsigned char>(data[i]);
        digits += hex[byte >> 4];
        digits += hex[byte & 0xF];
    }
    const auto first = digits.find_first_not_of('0');
    return "&h" + (first == std::string::npos ? std::string("0") : digits.substr(first));
}

Outcome cut(std::uint32_t type, const char *data, std::uint32_t size, std::uint32_t capacity,
            std::string &text) {
    if (size == 0 || size > capacity)
        return Outcome::Failed;
    switch (type) {
    case String:
        text.assign(data, data[size - 1] == '\0' ? size - 1 : size);
        return Outcome::Text;
    case Dword:
        text = dwordText(data, size);
        return Outcome::Text;
    default:
        return Outcome::Unchanged;
    }
}

} // namespace RegistryValue
