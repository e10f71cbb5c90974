#pragma once
// The statistical library: binomial tails through the regularized incomplete
// beta integral, the gamma function and its logarithm, and log1p/expm1 that
// keep precision near zero.  Everything lives in namespace specfns so that
// specfns::log1p and specfns::expm1 are never mistaken for the platform's.
//
// Errors are reported by mtherr(), which records the code in `merror` and
// throws MathException; a function that reports an error returns nothing.

namespace specfns {

// Machine constants of IEEE double precision (const.cpp).
extern const double MACHEP;  // 2^-53
extern const double MAXLOG;  // ln(2^1024)
extern const double MINLOG;  // ln(2^-1075)
extern const double PI;

// Code of the last reported error; never reset.
extern int merror;
// Sign of Gamma(x) left by gammafn()/lgam(); see gamma.cpp for when it is set.
extern int sgngam;

class MathException {
 public:
  MathException(const char* fn, const char* type) : fn_(fn), type_(type) {}
  MathException(const MathException&) = default;
  MathException& operator=(const MathException&) = default;
  virtual ~MathException();
  virtual const char* function() const { return fn_; }
  virtual const char* type() const { return type_; }

 private:
  const char* fn_;    // reporting function's name (a string literal)
  const char* type_;  // error text from the message table
};

// Sets merror = code and throws MathException(name, text of code).
// Declared to return int so that it can stand in expressions; it never does.
[[noreturn]] int mtherr(const char* name, int code);

double log1p(double x);
double expm1(double x);

double gammafn(double x);
double lgam(double x);

double incbet(double a, double b, double x);
double bdtr(int k, int n, double p);
double bdtrc(int k, int n, double p);

}  // namespace specfns
