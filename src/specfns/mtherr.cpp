// Error reporting of the statistical library: record the code, raise the
// exception.  Nothing is printed here; whoever catches the exception decides.
#include <array>
#include <cstddef>

#include "specfns/mconf.h"
#include "specfns/specfns_protos.h"

namespace specfns {

int merror = 0;

namespace {
const std::array<const char*, 7> ermsg = {
    "unknown",     "domain",
    "singularity", "overflow",
    "underflow",   "total loss of precision",
    "partial loss of precision",
};
}  // namespace

// Out of line so that the vtable has one home.
MathException::~MathException() = default;

int mtherr(const char* name, int code) {
  // Every caller passes a constant from mconf.h; an unknown code still must
  // not index past the table.
  if (code < 0 || code >= static_cast<int>(ermsg.size())) code = 0;
  merror = code;
  throw MathException(name, ermsg[static_cast<std::size_t>(code)]);
}

}  // namespace specfns
