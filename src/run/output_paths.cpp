#include "run/output_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "results/result_sink.h"
#include "run/error.h"
#include "run/paths.h"

namespace {

// What a name stands for: an existing file by device and inode, a file yet
// to be created by its directory's device and inode and its own name.
// Devices, FIFOs and sockets are passed over: writing /dev/null twice, or
// reading one FIFO and writing another, overwrites nothing.
struct FileKey {
  bool regular_or_new = false;
  dev_t dev = 0;
  ino_t ino = 0;
  std::string name;  // empty for an existing file
  bool operator==(const FileKey& o) const {
    return regular_or_new && o.regular_or_new && dev == o.dev && ino == o.ino && name == o.name;
  }
};

FileKey key_of(const char* path) {
  FileKey key;
  struct stat st;
  // "-" as an input is standard input, which may be a file redirected in.
  const bool standard_input = std::strcmp(path, "-") == 0;
  if (standard_input ? fstat(STDIN_FILENO, &st) == 0 : stat(path, &st) == 0) {
    key.regular_or_new = S_ISREG(st.st_mode);
    key.dev = st.st_dev;
    key.ino = st.st_ino;
  } else if (!standard_input && stat(directory_of(path).c_str(), &st) == 0) {
    key.regular_or_new = true;
    key.dev = st.st_dev;
    key.ino = st.st_ino;
    key.name = base_of(path);
  }
  return key;
}

// Whether the file can be written where it is, by the rules it is written
// by (looked at again when it is written): a new or regular file is written
// beside itself and renamed into place, so its directory must take a new
// file; through a link, or into a device or FIFO, it is written in place.
void check_writable(const char* path) {
  const WriteTarget target = examine_write_target(path);
  if (target.route == WriteTarget::kRefused) fatal("cannot write %s: %s", path, target.why.c_str());
  if (target.route == WriteTarget::kInPlace || target.through_link) return;
  const std::string dir = directory_of(path);
  struct stat dir_st;
  if (stat(dir.c_str(), &dir_st) != 0) fatal("cannot write %s: %s", path, std::strerror(errno));
  if (!S_ISDIR(dir_st.st_mode)) fatal("cannot write %s: %s", path, std::strerror(ENOTDIR));
  if (access(dir.c_str(), W_OK | X_OK) != 0) fatal("cannot write %s: %s", path, std::strerror(errno));
  // A sticky directory lets no one but root replace another user's file.
  if (target.route == WriteTarget::kReplace && (dir_st.st_mode & S_ISVTX) != 0 && geteuid() != 0 &&
      target.st.st_uid != geteuid() && dir_st.st_uid != geteuid())
    fatal("cannot write %s: it belongs to another user in a sticky directory", path);
}

}  // namespace

void check_output_paths(const RunParams& params) {
  const std::vector<SinkKind>& kinds = sink_kinds();
  std::vector<FileKey> outputs;
  std::vector<std::string> output_names;
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    const char* path = params.results.files[i];
    if (path == nullptr || std::strcmp(path, "-") == 0) continue;
    check_writable(path);
    const FileKey key = key_of(path);
    for (std::size_t k = 0; k < outputs.size(); ++k)
      if (outputs[k] == key)
        fatal("%s and %s %s name the same file: each result file needs its own",
              output_names[k].c_str(), kinds[i].option, path);
    for (int f = 1; params.input_files[f] != nullptr; ++f)
      if (key_of(params.input_files[f]) == key)
        fatal("cannot write %s: it is the input file %s%s", path, params.input_files[f],
              std::strcmp(params.input_files[f], "-") == 0 ? " (standard input)" : "");
    if (params.charset_file_name != nullptr && key_of(params.charset_file_name) == key)
      fatal("cannot write %s: it is the character-set file %s", path, params.charset_file_name);
    // Without -cf the run writes its generated set under this name.
    if (params.charset_file_name == nullptr && key_of("default.charclass") == key)
      fatal("cannot write %s: it is the character-set file default.charclass, which the run writes "
            "when -cf is not given",
            path);
    outputs.push_back(key);
    output_names.push_back(std::string(kinds[i].option) + " " + path);
  }
}
