// A value or the reason why there is none.
//
// Every file reader returns a Result: the parsed document, or one
// line of text that says what was wrong and where ("FILE:LINE: what"). Readers
// never throw for bad input, so callers decide how to report it.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace simtrove::formats {

template <typename T>
class Result {
  public:
    Result(T value) : value_(std::move(value)) {}  // NOLINT: implicit by design
    static Result failure(std::string error) { return Result(std::move(error), 0); }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    // Only when ok().
    const T& value() const& { return *value_; }
    T& value() & { return *value_; }
    T&& value() && { return std::move(*value_); }
    // Empty when ok().
    const std::string& error() const { return error_; }

  private:
    Result(std::string error, int) : error_(std::move(error)) {}
    std::optional<T> value_;
    std::string error_;
};

}  // namespace simtrove::formats
