#include "catalog/origins.h"

namespace hub {

std::string_view webOrigin() noexcept {
    return HUB_WEB_ORIGIN;
}

std::string_view documentationOrigin() noexcept {
    return HUB_DOCUMENTATION_ORIGIN;
}

std::string webUrl(std::string_view path) {
    return builtInOrigins().webUrl(path);
}

std::string documentationUrl(std::string_view path) {
    return builtInOrigins().documentationUrl(path);
}

std::string Origins::webUrl(std::string_view path) const {
    return std::string{web}.append(path);
}

std::string Origins::documentationUrl(std::string_view path) const {
    return std::string{documentation}.append(path);
}

Origins builtInOrigins() {
    return Origins{.web = std::string{webOrigin()},
                   .documentation = std::string{documentationOrigin()}};
}

} // namespace hub
