#include "catalog/origins.h"

namespace hub {

std::string_view webOrigin() noexcept {
    return HUB_WEB_ORIGIN;
}

std::string_view documentationOrigin() noexcept {
    return HUB_DOCUMENTATION_ORIGIN;
}

std::string webUrl(std::string_view path) {
    return std::string{webOrigin()}.append(path);
}

std::string documentationUrl(std::string_view path) {
    return std::string{documentationOrigin()}.append(path);
}

} // namespace hub
