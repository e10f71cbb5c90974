#include "run/paths.h"

#include <unistd.h>

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool trusted_link(const std::string& link, const struct stat& link_st) {
  struct stat dir;
  if (stat(directory_of(link).c_str(), &dir) != 0) return false;
  const bool shared = (dir.st_mode & S_ISVTX) != 0 && (dir.st_mode & S_IWOTH) != 0;
  return !shared || link_st.st_uid == geteuid() || link_st.st_uid == dir.st_uid;
}
