#include "link/object_namespace.h"

#include <cstring>

namespace tavelund {

ObjectNamespace readObjectNamespace(const char* value) {
  ObjectNamespace space;
  if (value == nullptr) return space;
  const std::size_t length = std::strlen(value);
  if (length > kNamespaceLimit) {
    space.problem = std::string(kNamespaceVariable) + " is " + std::to_string(length) +
                    " characters long; the channels' names take at most " +
                    std::to_string(kNamespaceLimit) +
                    ", and a cut one could meet another namespace: set a shorter one";
    return space;
  }
  space.prefix.reserve(length);
  for (const char* p = value; *p; ++p) {
    const char c = *p;
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.';
    space.prefix += plain ? c : '_';
  }
  return space;
}

bool refuseUnusableNamespace(const char* program, std::ostream& err) {
  const ObjectNamespace space = objectNamespaceInForce();
  if (space.problem.empty()) return false;
  err << program << ": " << space.problem << std::endl;
  return true;
}

}  // namespace tavelund
