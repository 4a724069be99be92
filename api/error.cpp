#include "wayfind/error.h"

#include <utility>

namespace wayfind {

Error::Error(int32_t number, std::string source, const std::string& description)
    : std::runtime_error(description), number_(number), source_(std::move(source)) {}
Error::~Error() = default;

}  // namespace wayfind
