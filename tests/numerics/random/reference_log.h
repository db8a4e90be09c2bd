// The reference for floatLog: float(log(double(r))) with the double logarithm
// correctly rounded, by GNU MPFR.
#pragma once

#include <mpfr.h>

class ReferenceLog {
  public:
    ReferenceLog() {
        mpfr_init2(x_, 24);
        mpfr_init2(y_, 53);
    }
    ~ReferenceLog() {
        mpfr_clear(x_);
        mpfr_clear(y_);
    }
    ReferenceLog(const ReferenceLog&) = delete;
    ReferenceLog& operator=(const ReferenceLog&) = delete;

    // For positive finite r.
    float operator()(float r) {
        mpfr_set_flt(x_, r, MPFR_RNDN);
        mpfr_log(y_, x_, MPFR_RNDN);  // rounded once, to double
        return float(mpfr_get_d(y_, MPFR_RNDN));
    }

  private:
    mpfr_t x_, y_;
};
