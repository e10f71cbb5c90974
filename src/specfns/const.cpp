// Machine constants of IEEE double precision used across the library.
#include "specfns/specfns_protos.h"

namespace specfns {

const double MACHEP = 1.1102230246251565e-16;  // 2^-53
const double MAXLOG = 709.782712893384;        // ln(2^1024)
const double MINLOG = -745.1332191019412;      // ln(2^-1075)
const double PI = 3.141592653589793;

}  // namespace specfns
