#include "run/paths.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

std::string directory_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string base_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

// Whether a file (lstat result `st`) may have been put there by another user
// of a shared directory: sticky, writable by anyone, and the file belongs
// neither to the runner nor to the directory's owner.
bool planted(const std::string& path, const struct stat& st) {
  struct stat dir;
  if (stat(directory_of(path).c_str(), &dir) != 0) return true;
  const bool shared = (dir.st_mode & S_ISVTX) != 0 && (dir.st_mode & S_IWOTH) != 0;
  return shared && st.st_uid != geteuid() && st.st_uid != dir.st_uid;
}

const char* kind_of(mode_t mode) {
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  return "a device";
}

}  // namespace

bool trusted_link(const std::string& link, const struct stat& link_st) { return !planted(link, link_st); }

WriteTarget examine_write_target(const std::string& name) {
  WriteTarget target;
  target.path = name;
  auto refuse = [&target](std::string why) {
    target.route = WriteTarget::kRefused;
    target.why = std::move(why);
    return target;
  };
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (lstat(target.path.c_str(), &st) != 0) {
      if (errno != ENOENT) return refuse(std::strerror(errno));
      // A link leading nowhere would make this run create a file where the
      // link's maker chose.
      if (target.through_link) {
        target.dangling = true;
        return refuse("it is a symbolic link to a file that does not exist, and is not followed");
      }
      target.route = WriteTarget::kNew;
      return target;
    }
    if (S_ISLNK(st.st_mode)) {
      if (!trusted_link(target.path, st)) {
        target.distrusted = true;
        return refuse((target.through_link ? target.path + " is" : std::string("it is")) +
                      " a symbolic link owned by another user in a shared directory, and is not followed");
      }
      std::string link(PATH_MAX, '\0');
      const ssize_t n = readlink(target.path.c_str(), &link[0], link.size());
      if (n <= 0 || static_cast<std::size_t>(n) >= link.size())
        return refuse("it is a symbolic link that cannot be read");
      link.resize(static_cast<std::size_t>(n));
      const std::string next = link[0] == '/' ? link : directory_of(target.path) + "/" + link;
      target.through_link = true;
      struct stat next_st, followed;
      if (lstat(next.c_str(), &next_st) != 0 && stat(target.path.c_str(), &followed) == 0) {
        // /proc's links to pipes and terminals: the file exists, its "path" does not.
        target.st = followed;
        target.follow = true;
        target.route = WriteTarget::kInPlace;
        return target;
      }
      target.path = next;
      continue;
    }
    target.st = st;
    if (S_ISDIR(st.st_mode)) return refuse(std::strerror(EISDIR));
    if (!S_ISREG(st.st_mode) && planted(target.path, st)) {
      target.distrusted = true;
      return refuse(std::string("it is ") + kind_of(st.st_mode) +
                    " owned by another user in a shared directory, and is not written");
    }
    if (access(target.path.c_str(), W_OK) != 0) return refuse(std::strerror(errno));
    target.route = S_ISREG(st.st_mode) ? WriteTarget::kReplace : WriteTarget::kInPlace;
    return target;
  }
  return refuse(std::strerror(ELOOP));
}

bool keeps_mode(const WriteTarget& target) {
  return target.route == WriteTarget::kReplace && target.st.st_uid == geteuid();
}

int open_in_place(const WriteTarget& target, std::string& why) {
  const int fd = open(target.path.c_str(), O_WRONLY | O_CLOEXEC | O_TRUNC | (target.follow ? 0 : O_NOFOLLOW));
  if (fd < 0) {
    why = std::strerror(errno);
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || st.st_dev != target.st.st_dev || st.st_ino != target.st.st_ino) {
    close(fd);
    why = "it was replaced by another file while it was opened";
    return -1;
  }
  return fd;
}

int create_temp_beside(const std::string& path, mode_t mode, std::string& temp_name, std::string& why) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  constexpr std::size_t kRandom = 10;  // 62^10: not to be guessed, nor pre-made
  const std::string dir = directory_of(path);
  // The temporary name says whose it is, but never makes the name too long
  // for the directory when the target's own name is near the limit.
  long name_max = pathconf(dir.c_str(), _PC_NAME_MAX);
  if (name_max <= 0) name_max = NAME_MAX;
  std::string stem = base_of(path);
  const std::size_t room = static_cast<std::size_t>(name_max) - kRandom - 5;
  if (stem.size() > room) stem.resize(room);
  const std::string prefix = (path.find('/') == std::string::npos ? std::string() : dir + "/") + stem + ".tmp";
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned char bytes[kRandom];
    std::size_t got = 0;
    while (got < kRandom) {
      const ssize_t n = getrandom(bytes + got, kRandom - got, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        why = std::strerror(n < 0 ? errno : EIO);
        return -1;
      }
      got += static_cast<std::size_t>(n);
    }
    temp_name = prefix + "-";
    for (unsigned char b : bytes) temp_name.push_back(kLetters[b % (sizeof kLetters - 1)]);
    const int fd = open(temp_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  why = std::strerror(errno);
  temp_name.clear();
  return -1;
}

bool replace_with(const std::string& temp_name, const std::string& path, std::string& why) {
  // A rename never follows a link at `path`, but replacing what another
  // user planted there would hide that anything happened.
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && planted(path, st)) {
    why = std::string("it is ") + (S_ISLNK(st.st_mode) ? "a symbolic link" : kind_of(st.st_mode)) +
          " owned by another user in a shared directory, and is not replaced";
    return false;
  }
  if (std::rename(temp_name.c_str(), path.c_str()) != 0) {
    why = std::strerror(errno);
    return false;
  }
  return true;
}
