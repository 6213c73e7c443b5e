// Errors the engine raises (rather than returns): a number, a source and a
// description, caught by the application's handlers like any run-time error.
#pragma once

#include <stdexcept>
#include <string>

namespace qova::engine {

class EngineError : public std::runtime_error {
public:
    EngineError(int number, std::string description, std::string source = "QOVA Engine")
        : std::runtime_error(description), number_(number), source_(std::move(source)),
          description_(std::move(description)) {}
    int number() const { return number_; }
    const std::string& source() const { return source_; }
    const std::string& description() const { return description_; }

private:
    int number_;
    std::string source_;
    std::string description_;
};

}  // namespace qova::engine
