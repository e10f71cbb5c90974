// The log tails against exact sums (tools/gen_logtail_reference.py), their
// conventions at the ends of the domain, and their agreement with the plain
// tails of the library where those do not underflow.  The worst error of each
// function and regime is printed so that a drift shows before it fails.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>
#include <string>

#include "reference_table.h"
#include "specfns/logtail.h"
#include "specfns/specfns_protos.h"

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

TEST(LogTailAccuracy, MatchesExactReference) {
  ErrorTally tally;
  const int lines = for_each_reference_line("logtail_reference.txt", [&](const std::string& fn,
                                                                        std::istringstream& ls,
                                                                        const std::string& line) {
    std::string r;
    double got;
    if (fn == "log_bdtrc" || fn == "log_bdtr") {
      int k, n;
      std::string p;
      ls >> k >> n >> p >> r;
      const double pv = std::strtod(p.c_str(), nullptr);
      got = fn == "log_bdtrc" ? specfns::log_bdtrc(k, n, pv) : specfns::log_bdtr(k, n, pv);
    } else if (fn == "log_fisher") {
      int a, n1, b, n2;
      ls >> a >> n1 >> b >> n2 >> r;
      got = specfns::log_fisher_greater(a, n1, b, n2);
    } else {
      ADD_FAILURE() << "unknown line: " << line;
      return;
    }
    ASSERT_FALSE(ls.fail()) << "malformed line: " << line;
    const double ref = std::strtod(r.c_str(), nullptr);
    // Exact ends (0 and -inf) must come out exactly; everything else is held
    // to a relative error of the logarithm, however close to 0 it is.
    double err;
    std::string regime;
    if (ref == 0.0 || std::isinf(ref)) {
      err = got == ref ? 0.0 : INF;
      regime = "exact end";
    } else {
      err = std::fabs(got - ref) / std::fabs(ref);
      regime = ref < -708.4 ? "underflows" : ref > -0.01 ? "near 1" : "ordinary";
    }
    tally.record(fn + " " + regime, err, 1e-10, got, line);
  });
  EXPECT_GT(lines, 1500);
  EXPECT_EQ(tally.failures(), 0);
  tally.print("function/regime");
}

TEST(LogTailEdge, InvalidArgumentsGiveNaN) {
  for (double p : {-0.1, 1.5, NaN, INF, -INF}) {
    EXPECT_TRUE(std::isnan(specfns::log_bdtrc(2, 10, p))) << p;
    EXPECT_TRUE(std::isnan(specfns::log_bdtr(2, 10, p))) << p;
  }
  EXPECT_TRUE(std::isnan(specfns::log_bdtrc(-1, -1, 0.5)));
  EXPECT_TRUE(std::isnan(specfns::log_bdtr(0, -3, 0.5)));
  EXPECT_TRUE(std::isnan(specfns::log_fisher_greater(-1, 5, 0, 5)));
  EXPECT_TRUE(std::isnan(specfns::log_fisher_greater(1, 5, -1, 5)));
  EXPECT_TRUE(std::isnan(specfns::log_fisher_greater(6, 5, 0, 5)));
  EXPECT_TRUE(std::isnan(specfns::log_fisher_greater(1, 5, 6, 5)));
  EXPECT_TRUE(std::isnan(specfns::log_fisher_greater(0, -1, 0, 5)));
}

TEST(LogTailEdge, DomainEndsFollowTheBinomialTails) {
  // Upper tail: nothing above n, everything above -1.
  EXPECT_EQ(specfns::log_bdtrc(-1, 10, 0.3), 0.0);
  EXPECT_EQ(specfns::log_bdtrc(10, 10, 0.3), -INF);
  EXPECT_EQ(specfns::log_bdtrc(12, 10, 0.3), -INF);
  EXPECT_EQ(specfns::log_bdtrc(0, 10, 0.0), -INF);   // the search's s2 = 0
  EXPECT_EQ(specfns::log_bdtrc(9, 10, 1.0), 0.0);
  EXPECT_EQ(specfns::log_bdtrc(-1, 0, 0.0), 0.0);
  // Lower tail, mirrored.
  EXPECT_EQ(specfns::log_bdtr(-1, 10, 0.3), -INF);
  EXPECT_EQ(specfns::log_bdtr(10, 10, 0.3), 0.0);
  EXPECT_EQ(specfns::log_bdtr(0, 10, 0.0), 0.0);
  EXPECT_EQ(specfns::log_bdtr(9, 10, 1.0), -INF);
  // Fisher: a table whose a cannot be smaller has p-value 1.
  EXPECT_EQ(specfns::log_fisher_greater(0, 7, 3, 9), 0.0);
  EXPECT_EQ(specfns::log_fisher_greater(0, 0, 0, 0), 0.0);
  EXPECT_EQ(specfns::log_fisher_greater(3, 10, 5, 5), 0.0);  // X >= 3 always
  EXPECT_LT(specfns::log_fisher_greater(4, 10, 4, 5), 0.0);
}

// Where the plain tails are normal numbers, exp of the log tails must be them.
TEST(LogTailConsistency, AgreesWithPlainBinomialTails) {
  int compared = 0;
  for (int n : {1, 2, 7, 40, 169, 1000, 6000, 65535}) {
    for (double p : {1e-9, 0.003, 0.1, 0.37, 0.5, 0.81, 1.0 - 1e-7}) {
      for (int i = 0; i <= 40; ++i) {
        const int k = static_cast<int>(static_cast<long long>(n) * i / 40) - 1;
        const double up = specfns::bdtrc(k, n, p);
        if (up > 1e-300) {
          EXPECT_NEAR(std::exp(specfns::log_bdtrc(k, n, p)) / up, 1.0, 1e-9)
              << "bdtrc " << k << " " << n << " " << p;
          ++compared;
        }
        if (k < 0) continue;
        const double low = specfns::bdtr(k, n, p);
        if (low > 1e-300) {
          EXPECT_NEAR(std::exp(specfns::log_bdtr(k, n, p)) / low, 1.0, 1e-9)
              << "bdtr " << k << " " << n << " " << p;
        }
        // The two tails together are certain, on both sides of the mode.
        EXPECT_NEAR(std::exp(specfns::log_bdtr(k, n, p)) + std::exp(specfns::log_bdtrc(k, n, p)),
                    1.0, 1e-13)
            << k << " " << n << " " << p;
      }
    }
  }
  EXPECT_GT(compared, 1000);
}

// P[X <= k] for p is P[X > n-k-1] for 1-p, bit for bit in exact arithmetic;
// the two go through opposite branches, so this checks one against the other.
TEST(LogTailConsistency, LowerTailMirrorsUpperTail) {
  for (int n : {3, 64, 999, 65535}) {
    for (double p : {0.125, 0.5, 0.71875, 0.998046875}) {
      for (int i = 0; i < 32; ++i) {
        const int k = static_cast<int>(static_cast<long long>(n) * i / 32);
        const double lo = specfns::log_bdtr(k, n, p);
        const double up = specfns::log_bdtrc(n - k - 1, n, 1.0 - p);
        if (lo == 0.0) {
          EXPECT_EQ(up, 0.0);
        } else {
          EXPECT_NEAR(up / lo, 1.0, 1e-12) << k << " " << n << " " << p;
        }
      }
    }
  }
}

// Exchanging the rows and columns of the 2x2 table leaves the p-value as it is,
// but swaps which margin is drawn and which holds the successes.
TEST(LogTailConsistency, FisherIsSymmetricInTheTable) {
  const int tables[][4] = {{200, 200, 0, 200},  {3, 5, 1, 9},        {17, 40, 60, 900},
                           {1, 65535, 0, 65535}, {900, 1000, 40, 65000}, {30000, 60000, 31000, 64000},
                           {5, 65535, 2, 12},    {60, 70, 65000, 65535}};
  for (const auto& t : tables) {
    const int a = t[0], n1 = t[1], b = t[2], n2 = t[3];
    const double direct = specfns::log_fisher_greater(a, n1, b, n2);
    const double swapped = specfns::log_fisher_greater(a, a + b, n1 - a, n1 - a + n2 - b);
    ASSERT_LT(direct, 0.0) << a << " " << n1 << " " << b << " " << n2;
    EXPECT_NEAR(swapped / direct, 1.0, 1e-12) << a << " " << n1 << " " << b << " " << n2;
  }
}

}  // namespace
