#include "catalog/origins.h"

namespace hub {

std::string Origins::webUrl(std::string_view path) const {
    return std::string{web}.append(path);
}

std::string Origins::documentationUrl(std::string_view path) const {
    return std::string{documentation}.append(path);
}

Origins builtInOrigins() {
    return Origins{.web = HUB_WEB_ORIGIN, .documentation = HUB_DOCUMENTATION_ORIGIN};
}

} // namespace hub
