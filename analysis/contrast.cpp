#include "analysis/contrast.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "analysis/text_format.h"

namespace simtrove::analysis {
namespace {

using formats::Result;

void skipBlanks(const std::string& text, std::size_t* at) {
    while (*at < text.size() && std::isspace(static_cast<unsigned char>(text[*at]))) ++*at;
}

// The longest predictor name at `at` that ends at a blank, a sign or the end.
int nameAt(const std::string& text, std::size_t at, const std::vector<std::string>& names) {
    int best = -1;
    for (std::size_t j = 0; j < names.size(); ++j) {
        const std::string& n = names[j];
        if (n.empty() || text.compare(at, n.size(), n) != 0) continue;
        const std::size_t end = at + n.size();
        const bool boundary = end == text.size() || text[end] == '+' || text[end] == '-' ||
                              std::isspace(static_cast<unsigned char>(text[end]));
        if (boundary && (best < 0 || n.size() > names[std::size_t(best)].size())) best = int(j);
    }
    return best;
}

// A plain decimal number (no exponent letters, no inf or nan) at `at`.
bool numberAt(const std::string& text, std::size_t* at, double* value) {
    std::size_t end = *at;
    bool digits = false;
    while (end < text.size() &&
           (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.')) {
        digits = digits || text[end] != '.';
        ++end;
    }
    if (!digits) return false;
    const std::string number = text.substr(*at, end - *at);
    char* stop = nullptr;
    *value = std::strtod(number.c_str(), &stop);
    if (*stop != '\0') return false;
    *at = end;
    return true;
}

std::string trimmed(const std::string& text) {
    std::size_t first = 0, last = text.size();
    while (first < last && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
    while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1]))) --last;
    return text.substr(first, last - first);
}

std::string weightText(double w) {
    return formatNumber("%.4g", w);
}

}  // namespace

Result<Contrast> parseContrast(const std::string& text,
                               const std::vector<std::string>& predictors) {
    using R = Result<Contrast>;
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos)
        return R::failure("--contrast \"" + text + "\": expected \"NAME: EXPRESSION\"");
    Contrast c;
    c.name = trimmed(text.substr(0, colon));
    c.expression = trimmed(text.substr(colon + 1));
    auto fail = [&](const std::string& why) {
        return R::failure("--contrast \"" + text + "\": " + why);
    };
    if (c.name.empty()) return fail("the contrast has no name");
    if (c.expression.empty()) return fail("the contrast has no expression");
    c.weights.assign(predictors.size(), 0.0);
    const std::string& e = c.expression;
    std::size_t at = 0;
    for (bool first = true; at < e.size(); first = false) {
        double sign = 1.0;
        skipBlanks(e, &at);
        if (!first && (at >= e.size() || (e[at] != '+' && e[at] != '-')))
            return fail("expected '+' or '-' at \"" + e.substr(at) + "\"");
        while (at < e.size() && (e[at] == '+' || e[at] == '-')) {
            if (e[at] == '-') sign = -sign;
            ++at;
            skipBlanks(e, &at);
        }
        double coefficient = 1.0;
        const std::size_t term = at;
        int name = nameAt(e, at, predictors);
        if (name < 0 && numberAt(e, &at, &coefficient)) {
            skipBlanks(e, &at);
            if (at < e.size() && e[at] == '*') ++at;
            skipBlanks(e, &at);
            name = nameAt(e, at, predictors);
        }
        if (name < 0) {
            const std::string rest = e.substr(term);
            return fail(rest.empty() ? "the expression ends without a predictor"
                                     : "no predictor named \"" + rest +
                                           "\" in the model (names are case-sensitive)");
        }
        c.weights[std::size_t(name)] += sign * coefficient;
        at += predictors[std::size_t(name)].size();
        skipBlanks(e, &at);
    }
    bool any = false;
    for (const double w : c.weights) any = any || w != 0.0;
    if (!any) return fail("every weight is zero");
    return c;
}

std::vector<Contrast> eachAgainstOthers(const std::vector<std::string>& predictors) {
    std::vector<Contrast> contrasts;
    const std::size_t n = predictors.size();
    if (n < 2) return contrasts;
    const double other = -1.0 / double(n - 1);
    for (std::size_t j = 0; j < n; ++j) {
        Contrast c;
        c.weights.assign(n, other);
        c.weights[j] = 1.0;
        c.name = predictors[j] + " - " + (n == 2 ? predictors[1 - j] : "others");
        c.expression = predictors[j];
        for (std::size_t i = 0; i < n; ++i)
            if (i != j)
                c.expression += n == 2 ? " - " + predictors[i]
                                       : " - " + weightText(-other) + "*" + predictors[i];
        contrasts.push_back(std::move(c));
    }
    return contrasts;
}

Result<FittedContrast> fitContrast(const GlmModel& model, const Contrast& contrast) {
    using R = Result<FittedContrast>;
    FittedContrast fitted;
    fitted.weights.assign(std::size_t(model.columns()), 0.0);
    for (std::size_t j = 0; j < contrast.weights.size() && j < fitted.weights.size(); ++j)
        fitted.weights[j] = contrast.weights[j];
    if (!model.estimable(fitted.weights)) {
        // Name the weights that do not cancel, the usual cause.
        double sum = 0.0;
        for (const double w : contrast.weights) sum += w;
        std::string why = "contrast " + contrast.name + " (" + contrast.expression +
                          ") cannot be estimated: the model's columns are linearly dependent";
        if (model.constantExplained() >= 1.0 && std::fabs(sum) > 1e-9)
            why +=
                " (the predictors together reproduce the constant, so only differences "
                "between them are estimable: the weights must add up to 0, here " +
                weightText(sum) + ")";
        else
            why += " and the contrast gives weight to a combination the data cannot separate";
        return R::failure(why);
    }
    fitted.variance = model.contrastVariance(fitted.weights);
    return fitted;
}

}  // namespace simtrove::analysis
