// Sets an environment variable for the life of the object, then puts back
// what was there before.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace fenmora::testcard {

class EnvVar {
 public:
  EnvVar(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~EnvVar() {
    if (old_) setenv(name_, old_->c_str(), 1);
    else unsetenv(name_);
  }
  EnvVar(const EnvVar&) = delete;
  EnvVar& operator=(const EnvVar&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace fenmora::testcard
