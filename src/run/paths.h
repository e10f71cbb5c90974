#pragma once
// Path pieces and the rules shared by every file the program writes (the
// generated character set, the result files): which names may be written,
// looked at again at the moment of writing, since another user of a shared
// directory can plant a link or a FIFO while the search runs.
#include <sys/stat.h>

#include <string>

// The directory part of a path ("." for a bare name, "/" for the root).
std::string directory_of(const std::string& path);
// The last part of a path.
std::string base_of(const std::string& path);

// Whether a symbolic link (lstat result `link_st`) may be followed: in a
// sticky directory that anyone can write to (/tmp and its kind), a link that
// belongs neither to the runner nor to the directory's owner may have been
// planted by another user to make this run replace a file of the runner's
// elsewhere. Kernels can refuse to follow such links (fs.protected_symlinks),
// but that setting is often off, and a rename onto a resolved path never
// consults it.
bool trusted_link(const std::string& link, const struct stat& link_st);

// What a name about to be written stands for, from lstat at this moment.
struct WriteTarget {
  enum Route { kNew, kReplace, kInPlace, kRefused };
  Route route = kRefused;
  std::string path;         // the name, or through trusted links their target
  bool through_link = false;
  // A link of the system's that names no path (/dev/stdout to a pipe): it is
  // opened through, and what is opened checked against `st`.
  bool follow = false;
  struct stat st {};        // the existing file (kReplace, kInPlace)
  std::string why;          // kRefused: the reason, for "cannot write NAME: why"
  // kRefused for what another user may have planted, or for a link that
  // leads nowhere, rather than for a reason of the system's (errno).
  bool distrusted = false;
  bool dangling = false;
};

// Looks at `name` as a file about to be written. Trusted links are followed
// to their target; a link that is not trusted, or leads nowhere, is refused.
// A FIFO, device or socket is written in place (kInPlace), unless it sits in
// a shared directory and belongs neither to the runner nor to the
// directory's owner: another user may have made it to receive the results
// (or to hold the run in open()). A regular file the runner may not write
// is refused as the shell's '>' would refuse it.
WriteTarget examine_write_target(const std::string& name);

// The permission bits a replacement of `target` gets: the runner's own
// file keeps its bits (never set-ID or sticky ones); a file of another
// user's gives none of them, since the new file belongs to the runner and
// would stay open to that user.
bool keeps_mode(const WriteTarget& target);

// Opens a kInPlace target for writing without following a link, and checks
// that what was opened is what was examined. -1 with `why` set on failure.
int open_in_place(const WriteTarget& target, std::string& why);

// Creates a new file beside `path` under a name nobody can guess
// (O_EXCL, never through a link), mode `mode` before the umask.
// -1 with `why` set on failure.
int create_temp_beside(const std::string& path, mode_t mode, std::string& temp_name, std::string& why);

// Renames a finished temporary file onto `path`, after looking at `path`
// again: what another user planted there since is refused, not replaced.
bool replace_with(const std::string& temp_name, const std::string& path, std::string& why);
