// Contrasts between the predictors of a report: "NAME: EXPR".
//
// EXPR is a sum of terms, each an optional sign, an optional coefficient
// (a decimal number, optionally followed by '*') and a predictor name:
// "Task - Rest", "0.5*Faces + 0.5*Houses - Objects". Names are matched
// longest first, so names with blanks or '-' work as written; a name given
// twice adds up its weights. The constant gets weight 0.
#pragma once

#include <string>
#include <vector>

#include "analysis/glm.h"
#include "formats/result.h"

namespace simtrove::analysis {

struct Contrast {
    std::string name;
    std::string expression;       // as written (or generated)
    std::vector<double> weights;  // one per predictor, in model order
};

// `predictors`: the names of the model's predictors.
formats::Result<Contrast> parseContrast(const std::string& text,
                                        const std::vector<std::string>& predictors);

// Each predictor against the mean of the others: weight 1 on it and -1/(n-1)
// on each other one. Named "A - B" for two predictors, else "A - others".
std::vector<Contrast> eachAgainstOthers(const std::vector<std::string>& predictors);

// The contrast over the model's columns (constant 0) with c'Cc, or why the
// model cannot estimate it.
formats::Result<FittedContrast> fitContrast(const GlmModel& model, const Contrast& contrast);

}  // namespace simtrove::analysis
