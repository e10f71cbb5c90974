#pragma once
// Path pieces and the symbolic-link rule shared by every file the program
// writes (the generated character set, the result files).
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
