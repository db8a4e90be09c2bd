#include "formats/design_matrix.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace simtrove::formats {
namespace {

class Lines {
  public:
    Lines(std::string_view text, const std::string& file) : text_(text), file_(file) {}
    // The next line that is neither blank nor a comment, without its line end.
    bool next(std::string_view* line) {
        while (pos_ < text_.size()) {
            const std::size_t end = std::min(text_.find('\n', pos_), text_.size());
            std::string_view l = text_.substr(pos_, end - pos_);
            pos_ = end + 1;
            ++number_;
            if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
            const std::size_t first = l.find_first_not_of(" \t");
            if (first == std::string_view::npos || l[first] == '#') continue;
            *line = l;
            return true;
        }
        number_ = 0;
        return false;
    }
    std::string error(const std::string& what) const {
        return file_ + ":" + std::to_string(number_) + ": " + what;
    }

  private:
    std::string_view text_;
    const std::string& file_;
    std::size_t pos_ = 0;
    int number_ = 0;
};

// "KEY N" with 0 <= N <= max.
bool keyedCount(std::string_view line, std::string_view key, int max, int* value) {
    if (line.substr(0, key.size()) != key || line.size() <= key.size() + 1 ||
        line[key.size()] != ' ')
        return false;
    const std::string digits(line.substr(key.size() + 1));
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9)
        return false;
    const long n = std::strtol(digits.c_str(), nullptr, 10);
    if (n > max) return false;
    *value = int(n);
    return true;
}

bool parseRow(std::string_view line, std::size_t count, std::vector<float>* row) {
    const std::string text(line);
    const char* p = text.c_str();
    row->clear();
    for (;;) {
        while (*p == ' ' || *p == '\t') ++p;
        if (!*p) break;
        char* end = nullptr;
        errno = 0;
        const float v = std::strtof(p, &end);
        if (end == p || errno == ERANGE || !std::isfinite(v) ||
            (*end && *end != ' ' && *end != '\t'))
            return false;
        row->push_back(v);
        p = end;
    }
    return row->size() == count;
}

}  // namespace

std::string formatDesignMatrix(std::span<const Predictor> predictors) {
    std::size_t volumes = 0;
    for (const Predictor& p : predictors) volumes = std::max(volumes, p.values.size());
    std::string text = std::string(kDesignMatrixFirstLine) + "\npredictors " +
                       std::to_string(predictors.size()) + "\nvolumes " + std::to_string(volumes) +
                       "\n";
    for (const Predictor& p : predictors) text += "predictor " + p.name + "\n";
    char number[32];
    for (std::size_t t = 0; t < volumes; ++t) {
        for (std::size_t i = 0; i < predictors.size(); ++i) {
            const float value = t < predictors[i].values.size() ? predictors[i].values[t] : 0.0f;
            std::snprintf(number, sizeof number, "%s%.9g", i == 0 ? "" : " ", double(value));
            text += number;
        }
        text += "\n";
    }
    return text;
}

Result<DesignFile> parseDesignMatrix(std::string_view text, const std::string& fileName) {
    using R = Result<DesignFile>;
    Lines lines(text, fileName);
    std::string_view line;
    if (!lines.next(&line) || line != kDesignMatrixFirstLine)
        return R::failure(lines.error("expected \"" + std::string(kDesignMatrixFirstLine) + "\""));
    int count = 0;
    DesignFile design;
    if (!lines.next(&line) || !keyedCount(line, "predictors", kMaxDesignPredictors, &count))
        return R::failure(lines.error("expected \"predictors N\" with N from 0 to " +
                                      std::to_string(kMaxDesignPredictors)));
    if (!lines.next(&line) || !keyedCount(line, "volumes", kMaxDesignVolumes, &design.volumes))
        return R::failure(lines.error("expected \"volumes T\" with T from 0 to " +
                                      std::to_string(kMaxDesignVolumes)));
    for (int j = 0; j < count; ++j) {
        if (!lines.next(&line) || line.substr(0, 10) != "predictor " || line.size() == 10)
            return R::failure(lines.error("expected \"predictor NAME\" (" + std::to_string(j + 1) +
                                          " of " + std::to_string(count) + ")"));
        design.names.emplace_back(line.substr(10));
    }
    design.values.assign(std::size_t(count) * std::size_t(design.volumes), 0.0f);
    std::vector<float> row;
    for (int t = 0; t < design.volumes; ++t) {
        if (!lines.next(&line))
            return R::failure(lines.error("the file ends after " + std::to_string(t) + " of " +
                                          std::to_string(design.volumes) + " rows"));
        if (!parseRow(line, std::size_t(count), &row))
            return R::failure(lines.error("expected " + std::to_string(count) + " numbers"));
        for (int j = 0; j < count; ++j)
            design.values[std::size_t(j) * std::size_t(design.volumes) + std::size_t(t)] =
                row[std::size_t(j)];
    }
    if (lines.next(&line)) return R::failure(lines.error("unexpected line after the last row"));
    return design;
}

Result<DesignFile> readDesignMatrix(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Result<DesignFile>::failure(path + ": cannot read: " + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return Result<DesignFile>::failure(path + ": cannot read");
    return parseDesignMatrix(text.str(), path);
}

}  // namespace simtrove::formats
